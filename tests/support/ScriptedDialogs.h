// A dialog interface the tests script: answers are queued, every call is recorded.
#pragma once
#include "core/Dialogs.h"
#include <deque>
#include <string>
#include <vector>

namespace sf::test {

class TScriptedDialogs : public sf::IDialogs {
public:
    void ErrorBox(const std::string& text) override { Calls.push_back("error: " + text); Errors.push_back(text); }
    bool AskYesNo(const std::string& text) override
    {
        Calls.push_back("ask: " + text);
        Questions.push_back(text);
        if (Answers.empty())
            return DefaultAnswer;
        bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
    std::optional<std::string> BrowseFolder(const std::string& title, const std::string& root) override
    {
        Calls.push_back("browse: " + title + " @ " + root);
        return Take(Folders);
    }
    std::optional<std::string> ChooseFile(const std::string& title, const std::string& dir) override
    {
        Calls.push_back("choose: " + title + " @ " + dir);
        return Take(Files);
    }
    std::optional<std::string> OpenPicture(const std::string& title, const std::string& dir, const std::string& filter,
                                           const std::string& defaultExt) override
    {
        Calls.push_back("picture: " + title + " @ " + dir + " [" + filter + "] ." + defaultExt);
        return Take(Files);
    }
    void ShellOpen(const std::string& target) override { Calls.push_back("open: " + target); Opened.push_back(target); }
    void Beep() override { Calls.push_back("beep"); ++Beeps; }

    std::deque<bool> Answers;              ///< next Yes/No answers
    bool DefaultAnswer = true;
    std::deque<std::optional<std::string>> Folders; ///< next folder-browser results
    std::deque<std::optional<std::string>> Files;
    std::vector<std::string> Calls, Errors, Questions, Opened;
    int Beeps = 0;

private:
    static std::optional<std::string> Take(std::deque<std::optional<std::string>>& q)
    {
        if (q.empty())
            return std::nullopt;
        auto v = q.front();
        q.pop_front();
        return v;
    }
};

} // namespace sf::test
