// View-model values of the window's controls. The main object and its helpers
// write them; the Qt window and the console view show them. Every change a view
// shows is announced on the hub: texts to the text listeners (the console view),
// and every property (caption, hint, enabled, visible, checked, colour, items,
// item index, grid size, cells, current row) to the property listeners (the window).
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
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

/// Which property of a control changed.
enum class TProperty { Caption, Hint, Enabled, Visible, Checked, Color, Items, ItemIndex, Panel, Size, Cell, Row };

/// One announced change: the control's name, the property and, for a cell or a
/// status-bar panel, its position (Col is the panel number for Panel).
struct TChange {
    const std::string& Control;
    TProperty What;
    int Col = -1;
    int Row = -1;
};

/// Tells the views about changes: text listeners get "control name, new text" for
/// every text change; property listeners get every change of every property.
struct TViewHub {
    using TTextListener = std::function<void(const std::string& control, const std::string& text)>;
    using TPropertyListener = std::function<void(const TChange& change)>;
    std::vector<TTextListener> Listeners;
    void Changed(const std::string& control, const std::string& text) const
    {
        for (auto& l : Listeners)
            l(control, text);
    }
    /// Adds a property listener; the id removes it again.
    int Subscribe(TPropertyListener listener)
    {
        m_props[++m_lastId] = std::move(listener);
        return m_lastId;
    }
    void Unsubscribe(int id) { m_props.erase(id); }
    void Announce(const TChange& change) const
    {
        for (auto& [id, l] : m_props)
            l(change);
    }

private:
    std::map<int, TPropertyListener> m_props;
    int m_lastId = 0;
};

class TControl;
/// Announces a property change of owner on its hub (defined after TControl).
inline void AnnounceProperty(const TControl& owner, TProperty what);

/// A property value that announces each change: assign it and read it like the plain
/// value (X.Enabled = false; if (X.Checked) ...).
template <class T>
class TProp {
public:
    TProp(const TControl* owner, TProperty what, T value = T{}) : m_owner(owner), m_what(what), m_value(std::move(value)) {}
    // A property belongs to its control; copying one would announce for the wrong control.
    TProp(const TProp&) = delete;
    TProp& operator=(const TProp& other) { return *this = other.m_value; }
    TProp& operator=(const T& value)
    {
        if (m_value == value)
            return *this;
        m_value = value;
        AnnounceProperty(*m_owner, m_what);
        return *this;
    }
    operator const T&() const { return m_value; }
    const T& Get() const { return m_value; }

private:
    const TControl* m_owner;
    TProperty m_what;
    T m_value;
};

/// A text property (hints): the value's reading members are offered directly.
class TTextProp : public TProp<std::string> {
public:
    using TProp<std::string>::TProp;
    using TProp<std::string>::operator=;
    TTextProp& operator=(const char* value)
    {
        TProp<std::string>::operator=(std::string(value));
        return *this;
    }
    bool empty() const { return Get().empty(); }
    size_t size() const { return Get().size(); }
    const char* c_str() const { return Get().c_str(); }
    std::string substr(size_t pos, size_t n = std::string::npos) const { return Get().substr(pos, n); }
    size_t find(const std::string& s, size_t pos = 0) const { return Get().find(s, pos); }
    friend bool operator==(const TTextProp& a, const std::string& b) { return a.Get() == b; }
    friend bool operator==(const TTextProp& a, const char* b) { return a.Get() == b; }
    friend std::string operator+(const TTextProp& a, const std::string& b) { return a.Get() + b; }
    friend std::string operator+(const std::string& a, const TTextProp& b) { return a + b.Get(); }
};

/// The item list of a combo box or radio group; every change is announced as Items.
class TItems {
public:
    using value_type = std::string;
    using const_iterator = std::vector<std::string>::const_iterator;
    explicit TItems(const TControl* owner) : m_owner(owner) {}
    TItems(const TItems&) = delete;
    TItems& operator=(const TItems& other) { return Assign(other.m_items); }
    TItems& operator=(const std::vector<std::string>& items) { return Assign(items); }
    TItems& operator=(std::initializer_list<std::string> items) { return Assign(std::vector<std::string>(items)); }
    operator const std::vector<std::string>&() const { return m_items; }
    const std::vector<std::string>& Get() const { return m_items; }
    size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const std::string& operator[](size_t i) const { return m_items[i]; }
    const std::string& front() const { return m_items.front(); }
    const std::string& back() const { return m_items.back(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }
    void push_back(const std::string& item)
    {
        m_items.push_back(item);
        AnnounceProperty(*m_owner, TProperty::Items);
    }
    const_iterator erase(const_iterator at)
    {
        auto next = m_items.erase(at);
        AnnounceProperty(*m_owner, TProperty::Items);
        return next;
    }
    void clear() { Assign({}); }
    friend bool operator==(const TItems& a, const std::vector<std::string>& b) { return a.m_items == b; }

private:
    TItems& Assign(const std::vector<std::string>& items)
    {
        if (items == m_items)
            return *this;
        m_items = items;
        AnnounceProperty(*m_owner, TProperty::Items);
        return *this;
    }
    const TControl* m_owner;
    std::vector<std::string> m_items;
};

class TControl {
public:
    TControl(TViewHub& hub, std::string name) : m_hub(&hub), m_name(std::move(name)) {}
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;
    const std::string& Name() const { return m_name; }
    TProp<bool> Enabled{this, TProperty::Enabled, true};
    TProp<bool> Visible{this, TProperty::Visible, true};
    TTextProp Hint{this, TProperty::Hint};
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
    /// Announces a change of one property (col/row: the cell or panel concerned).
    void Announce(TProperty what, int col = -1, int row = -1) const { m_hub->Announce({m_name, what, col, row}); }

protected:
    void Notify(const std::string& text) const { m_hub->Changed(m_name, text); }

private:
    TViewHub* m_hub;
    std::string m_name;
};

inline void AnnounceProperty(const TControl& owner, TProperty what)
{
    owner.Announce(what);
}

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
        Announce(TProperty::Caption);
    }
    TProp<uint32_t> Color{this, TProperty::Color, clBlack}; ///< font colour of labels
    TProp<bool> Checked{this, TProperty::Checked, false};   ///< check boxes and menu items

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
    TItems Items{this};
};

/// Radio group: ItemIndex 0.. of Items.
class TRadioGroup : public TControl {
public:
    using TControl::TControl;
    TItems Items{this};
    TProp<int> ItemIndex{this, TProperty::ItemIndex, 0};
};

/// Status bar with two panels; panel 0 changes are also sent to the text listeners as "Sbar".
class TStatusBar : public TControl {
public:
    using TControl::TControl;
    const std::string& Panel(int i) const { return m_panels[i & 1]; }
    void SetPanel(int i, const std::string& text)
    {
        if (m_panels[i & 1] == text)
            return;
        m_panels[i & 1] = text;
        if ((i & 1) == 0)
            Notify(text);
        Announce(TProperty::Panel, i & 1);
    }

private:
    std::string m_panels[2];
};

/// The lamp: a small circle whose brush colour shows the activity.
class TShape : public TControl {
public:
    using TControl::TControl;
    TProp<uint32_t> BrushColor{this, TProperty::Color, clLime};
};

/// String grid: Cells[col][row], fixed row 0 for titles, Row = current row (-1: none).
/// Write cells with SetCell (announced one by one) or, for a whole refill, write Cells
/// and then call Refilled().
class TStringGrid : public TControl {
public:
    using TControl::TControl;
    int ColCount = 0;
    int RowCount = 0;
    TProp<int> Row{this, TProperty::Row, -1};
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
        const bool changed = cols != ColCount || rows != RowCount;
        ColCount = cols;
        RowCount = rows;
        Cells.resize(cols);
        for (auto& c : Cells)
            c.resize(rows);
        if (changed)
            Announce(TProperty::Size);
    }
    void SetCell(int col, int row, const std::string& text)
    {
        if (col < 0 || row < 0)
            return;
        if (col >= ColCount || row >= RowCount)
            SetSize(std::max(col + 1, ColCount), std::max(row + 1, RowCount));
        if (Cells[col][row] == text)
            return;
        Cells[col][row] = text;
        Announce(TProperty::Cell, col, row);
    }
    /// Announces that the size, the widths and every cell may have changed.
    void Refilled() const { Announce(TProperty::Size); }
};

} // namespace sf
