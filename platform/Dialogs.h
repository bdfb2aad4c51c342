#pragma once
// Modal dialogs the handlers use: message box, yes/no question, input box,
// open and save file dialogs. Handlers reach them through this interface so
// that tests can script the answers and read what was shown.
#include <QString>
#include <QStringList>
#include <deque>
#include <optional>

class QWidget;

namespace zelt {

class Preferences;

struct FileRequest {
    QString filter;         // "description|pattern|description|pattern"
    QString defaultSuffix;  // added by the dialog when the name has none; empty = none
    QString fileName;       // in: proposed name; out: the chosen path
    // The folder the dialog starts in (the proposed name is then taken in
    // it); empty: the folder of the proposed name, else the current one.
    QString folder;
    bool confirmOverwrite = false;
    bool mustExist = false;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message with one OK button.
    virtual void message(const QString& text) = 0;
    // A modal question with Yes and No buttons (No is the default); true for Yes.
    virtual bool question(const QString& text) = 0;
    // A modal input box; returns false when cancelled, else value holds the text.
    virtual bool inputQuery(const QString& caption, const QString& prompt, QString& value) = 0;
    // Standard file dialogs; return false when cancelled.
    virtual bool openFile(FileRequest& request) = 0;
    virtual bool saveFile(FileRequest& request) = 0;
};

// The real dialogs on the toolkit.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void message(const QString& text) override;
    bool question(const QString& text) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool openFile(FileRequest& request) override;
    bool saveFile(FileRequest& request) override;

private:
    QWidget* parent_;
};

// Test double: records every message and request, answers from scripts.
class ScriptedDialogs : public Dialogs {
public:
    QStringList messages;                       // every message shown, in order
    QStringList questions;                      // every question asked, in order
    std::deque<bool> answers;                   // answers to questions; none left = No
    std::deque<std::optional<QString>> inputs;  // answers to inputQuery; nullopt = cancel
    std::deque<std::optional<QString>> files;   // answers to file dialogs; nullopt = cancel
    std::vector<FileRequest> fileRequests;      // what the file dialogs were asked
    QStringList inputPrompts;

    void message(const QString& text) override { messages << text; }
    bool question(const QString& text) override;
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override;
    bool openFile(FileRequest& request) override { return answerFile(request); }
    bool saveFile(FileRequest& request) override { return answerFile(request); }

private:
    bool answerFile(FileRequest& request);
};

// The key under which the folder last chosen in a file dialog is remembered.
inline constexpr char kLastFolderPreference[] = "files/lastFolder";

// The tool's dialogs with a memory for folders: every file dialog (保存,
// FILE, SAV, HEX..., the graph's exports) starts in the folder where the
// user last chose a file, in this run or an earlier one. The other dialogs
// are passed on as they are.
class FolderMemoryDialogs : public Dialogs {
public:
    FolderMemoryDialogs(Dialogs& dialogs, Preferences* preferences) : dialogs_(dialogs), preferences_(preferences) {}
    void message(const QString& text) override { dialogs_.message(text); }
    bool question(const QString& text) override { return dialogs_.question(text); }
    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override
    {
        return dialogs_.inputQuery(caption, prompt, value);
    }
    bool openFile(FileRequest& request) override;
    bool saveFile(FileRequest& request) override;

private:
    bool fileDialog(FileRequest& request, bool save);

    Dialogs& dialogs_;
    Preferences* preferences_;
};

// Converts "desc|pattern|desc|pattern" to the toolkit's filter list.
QString toQtFilter(const QString& filter);

}  // namespace zelt
