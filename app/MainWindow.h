#pragma once

#include "app/FormLayout.h"
#include "app/StartUp.h"
#include "app/TargetGuard.h"
#include "ui/UserInterface.h"
#include "app/UserSettings.h"
#include "store/DataControls.h"
#include "store/Engine.h"
#include "store/RunLog.h"
#include "store/RunLogFile.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

namespace tavik::app {

// What the window needs from outside; tests give their own.
struct WindowSetup {
    SettingsReader settings = readUserSetting;
    QString sharedDocumentsFolder;
    QLocale numberFormat = QLocale::system();
    ui::UserInterface* dialogs = nullptr;             // the window's own Qt dialogs when null
    std::function<void(int exitCode)> endProgram; // QCoreApplication::exit when empty
    Twips scale{96, 96};
};

// The window "format": it shows the paths and the task list, and runs the chain of tasks from its
// timers. The tasks themselves are functions outside the window; the handlers only press buttons,
// arm timers and show what happened.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(WindowSetup setup);
    ~MainWindow() override;

    FormLayout& form() { return *form_; }
    store::DataControls& controls() { return controls_; }
    store::RunLog& log() { return log_; }
    const QString& Datenpfad_alt() const { return paths_.Datenpfad_alt; }
    const QString& Datenpfad_neu() const { return paths_.Datenpfad_neu; }
    bool hasEnded() const { return ended_; }

    bool FileCopy(const QString& sSourceFile, const QString& sDestFile, bool bAlwaysOverwrite = false);
    void Pfad_suchen();

    // The handlers, as buttons, timers and the menu run them; public so a test can run one tick.
    void Command6_Click();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();
    void Timer5_Timer();
    void Timer6_Timer();
    void Command5_Click();
    void Command4_Click();
    void Command8_Click();
    void Command1_Click();
    void Command2_Click();
    void Command7_Click();
    void mnu_suchen_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void refuseToStart(const QString& message);
    void centreOnScreen();
    void connectHandlers();
    void showImportFinished();
    void refuseSecondRun();
    QString closingText() const;
    void endWithEngineError(const std::exception& error);
    void endProgram(int exitCode);

    WindowSetup setup_;
    std::unique_ptr<ui::UserInterface> ownDialogs_;
    ui::UserInterface* dialogs_;
    std::unique_ptr<FormLayout> form_;
    store::Engine engine_;
    store::DataControls controls_;
    store::RunLog log_;
    // Declared after the log, which hands it every skipped operation.
    std::optional<store::RunLogFile> logFile_;
    DataPaths paths_;
    TargetGuard guard_;
    qint16 Fortschritt_ = 0;
    bool ended_ = false;
    bool logWritten_ = false;
};

} // namespace tavik::app
