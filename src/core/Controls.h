// View-model values of the window's controls. The main object and its helpers
// write them; the Qt window and the console view show them. Every change of a
// text that a view may print goes through the hub.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sf {

// Colour values as the window system stores them (0x00BBGGRR).
constexpr uint32_t clBlack = 0x000000;
constexpr uint32_t clWhite = 0xFFFFFF;
constexpr uint32_t clRed = 0x0000FF;     // 255
constexpr uint32_t clLime = 0x00FF00;    // 65280
constexpr uint32_t clYellow = 0x00FFFF;  // 65535
constexpr uint32_t clInfoBk = 0xE1FFFF;  // tooltip background

/// Receives "control name, new text" for every text change.
struct TViewHub {
    std::vector<std::function<void(const std::string& control, const std::string& text)>> Listeners;
    void Changed(const std::string& control, const std::string& text) const
    {
        for (auto& l : Listeners)
            l(control, text);
    }
};

class TControl {
public:
    TControl(TViewHub& hub, std::string name) : m_hub(&hub), m_name(std::move(name)) {}
    const std::string& Name() const { return m_name; }
    bool Enabled = true;
    bool Visible = true;
    std::string Hint;
    /// What a click (or menu command) runs; views and remote commands call Click().
    std::function<void()> OnClick;
    /// Runs OnClick when one is wired; false when none is.
    bool Click() const
    {
        if (!OnClick)
            return false;
        OnClick();
        return true;
    }

protected:
    void Notify(const std::string& text) const { m_hub->Changed(m_name, text); }

private:
    TViewHub* m_hub;
    std::string m_name;
};

/// Label, button, check box, menu item, edit: one caption (or text) with its states.
class TTextControl : public TControl {
public:
    using TControl::TControl;
    const std::string& Caption() const { return m_caption; }
    void SetCaption(const std::string& text)
    {
        if (text == m_caption)
            return;
        m_caption = text;
        Notify(text);
    }
    uint32_t Color = clBlack; ///< font colour of labels
    bool Checked = false;     ///< check boxes and menu items

private:
    std::string m_caption;
};
using TLabel = TTextControl;
using TButton = TTextControl;
using TCheckBox = TTextControl;
using TMenuItem = TTextControl;
using TEdit = TTextControl; ///< Caption() is the edit's text

/// Combo box: the drop-down items and the edit text (Caption()).
class TComboBox : public TTextControl {
public:
    using TTextControl::TTextControl;
    std::vector<std::string> Items;
};

/// Radio group: ItemIndex 0.. of Items.
class TRadioGroup : public TControl {
public:
    using TControl::TControl;
    std::vector<std::string> Items;
    int ItemIndex = 0;
};

/// Status bar with two panels; panel 0 changes are announced as "Sbar".
class TStatusBar : public TControl {
public:
    using TControl::TControl;
    const std::string& Panel(int i) const { return m_panels[i & 1]; }
    void SetPanel(int i, const std::string& text)
    {
        if (m_panels[i & 1] == text)
            return;
        m_panels[i & 1] = text;
        if (i == 0)
            Notify(text);
    }

private:
    std::string m_panels[2];
};

/// The lamp: a small circle whose brush colour shows the activity.
struct TShape {
    uint32_t BrushColor = clLime;
};

/// String grid: Cells[col][row], fixed row 0 for titles, Row = current row (-1: none).
class TStringGrid : public TControl {
public:
    using TControl::TControl;
    int ColCount = 0;
    int RowCount = 0;
    int Row = -1;
    std::vector<int> ColWidths;
    std::vector<std::vector<std::string>> Cells; ///< [col][row]
    std::string Cell(int col, int row) const
    {
        if (col < 0 || row < 0 || col >= (int)Cells.size() || row >= (int)Cells[col].size())
            return {};
        return Cells[col][row];
    }
    void SetSize(int cols, int rows)
    {
        ColCount = cols;
        RowCount = rows;
        Cells.resize(cols);
        for (auto& c : Cells)
            c.resize(rows);
    }
    void SetCell(int col, int row, const std::string& text)
    {
        if (col >= ColCount || row >= RowCount)
            SetSize(std::max(col + 1, ColCount), std::max(row + 1, RowCount));
        Cells[col][row] = text;
    }
};

} // namespace sf
