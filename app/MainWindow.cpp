#include "app/MainWindow.h"

#include "app/AppTexts.h"
#include "app/QtDialogs.h"
#include "app/ShellTasks.h"
#include "app/SourceSelection.h"
#include "app/WindowImportProgress.h"
#include "import/ImportRun.h"
#include "prepare/FoodAndDrinkVat.h"
#include "prepare/SchemaExtension.h"
#include "store/EngineError.h"
#include "store/FileCopy.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace tavik::app {

namespace {
constexpr int progressTwipsPerTick = 50;
constexpr qint16 lastProgressTick = 100;
} // namespace

MainWindow::MainWindow(WindowSetup setup)
    : setup_(std::move(setup))
    , engine_(setup_.numberFormat)
    , controls_(engine_)
{
    if (!setup_.dialogs)
        ownDialogs_ = std::make_unique<QtDialogs>(this);
    dialogs_ = setup_.dialogs ? setup_.dialogs : ownDialogs_.get();
    form_ = std::make_unique<FormLayout>(*this, setup_.scale);
    connectHandlers();
    Form_Load();
}

MainWindow::~MainWindow() = default;

void MainWindow::connectHandlers()
{
    FormLayout& f = *form_;
    connect(f.Command6, &QPushButton::clicked, this, &MainWindow::Command6_Click);
    connect(f.Command5, &QPushButton::clicked, this, &MainWindow::Command5_Click);
    connect(f.Command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    connect(f.Command8, &QPushButton::clicked, this, &MainWindow::Command8_Click);
    connect(f.Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(f.Command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(f.Command7, &QPushButton::clicked, this, &MainWindow::Command7_Click);
    connect(f.mnu_suchen, &QAction::triggered, this, &MainWindow::mnu_suchen_Click);
    connect(f.Timer2, &QTimer::timeout, this, &MainWindow::Timer2_Timer);
    connect(f.Timer3, &QTimer::timeout, this, &MainWindow::Timer3_Timer);
    connect(f.Timer4, &QTimer::timeout, this, &MainWindow::Timer4_Timer);
    connect(f.Timer5, &QTimer::timeout, this, &MainWindow::Timer5_Timer);
    connect(f.Timer6, &QTimer::timeout, this, &MainWindow::Timer6_Timer);
}

void MainWindow::Form_Load()
{
    centreOnScreen();
    try {
        paths_ = readDataPaths(setup_.settings, setup_.sharedDocumentsFolder);
    } catch (const UnreadableSettings& error) {
        refuseToStart(error.message());
        return;
    }
    guard_ = TargetGuard::take(paths_.Datenpfad_neu, QDateTime::currentDateTime());
    noteBackups(guard_.backup(), log_);
    logFile_.emplace(logPathFor(paths_.Datenpfad_neu), log_.notes());
    log_.addSink(*logFile_);
    form_->Label6->setText(paths_.Datenpfad_neu);
    form_->Label7->setText(paths_.Datenpfad_alt);
    // Said once the window is up; a refused target is said by task 1, where a failed copy is.
    if (guard_.refusal() == TargetGuard::Refusal::InUseByAnotherRun)
        QTimer::singleShot(0, this, &MainWindow::refuseSecondRun);
}

void MainWindow::refuseSecondRun()
{
    dialogs_->showMessage(guard_.cause(), ui::MessageIcon::Exclamation, QString());
    endProgram(1);
}

// Without both paths nothing may be backed up or copied: the batch mode ends with status 2 here,
// and so does the window, as soon as its event loop runs and can be ended.
void MainWindow::refuseToStart(const QString& message)
{
    form_->Command6->setEnabled(false);
    form_->mnu_suchen->setEnabled(false);
    dialogs_->showMessage(message, ui::MessageIcon::Stop, QString());
    QTimer::singleShot(0, this, [this] { endProgram(2); });
}

void MainWindow::centreOnScreen()
{
    const QScreen* display = screen();
    if (!display)
        return;
    const QSize screenSize = display->geometry().size();
    const QSize windowSize = frameGeometry().size().expandedTo(sizeHint());
    move(display->geometry().topLeft()
        + QPoint((screenSize.width() - windowSize.width()) / 2, (screenSize.height() - windowSize.height()) / 2));
}

bool MainWindow::FileCopy(const QString& sSourceFile, const QString& sDestFile, bool bAlwaysOverwrite)
{
    return bool(store::fileCopy(sSourceFile, sDestFile, bAlwaysOverwrite));
}

void MainWindow::mnu_suchen_Click()
{
    Pfad_suchen();
}

void MainWindow::Pfad_suchen()
{
    if (sourceSelection::choose(*dialogs_, engine_, controls_, paths_, log_))
        form_->Label7->setText(paths_.Datenpfad_alt);
}

void MainWindow::Command6_Click()
{
    setCursor(Qt::WaitCursor);
    // A second press, or a file chosen mid-chain, would rebind record sources under running tasks.
    form_->Command6->setEnabled(false);
    form_->mnu_suchen->setEnabled(false);
    form_->Timer2->start();
    form_->Timer6->start();
}

void MainWindow::Timer2_Timer()
{
    form_->Timer2->stop();
    form_->Command5->click();
    if (ended_)
        return;
    form_->Image2[0]->show();
}

void MainWindow::Command5_Click()
{
    if (!guard_.allowsRun()) {
        dialogs_->showMessage(copyFailedMessage() + QStringLiteral("\n\n") + guard_.cause(), ui::MessageIcon::Exclamation, QString());
        endProgram(1);
        return;
    }
    if (const store::CopyResult copy = copyDataFile(paths_); !copy) {
        dialogs_->showMessage(copyFailedMessage() + QStringLiteral("\n\n") + copy.germanCause(), ui::MessageIcon::Exclamation, QString());
        endProgram(1);
        return;
    }
    form_->Timer3->start();
}

void MainWindow::Timer3_Timer()
{
    form_->Timer3->stop();
    form_->Command4->click();
    if (ended_)
        return;
    form_->Image2[1]->show();
    form_->Command8->click();
}

void MainWindow::Command4_Click()
{
    try {
        bindTargetRecordSources(controls_, paths_.Datenpfad_neu);
    } catch (const std::exception& error) {
        endWithEngineError(error);
        return;
    }
    form_->Timer4->start();
}

void MainWindow::Command8_Click()
{
    try {
        prepare::bindArticles(controls_, paths_.Datenpfad_neu);
    } catch (const std::exception& error) {
        endWithEngineError(error);
        return;
    }
    // The chain's timers go on under the question, so tasks 3 and 4 may run before it is answered.
    const QString answer = prepare::askFoodAndDrinkVat(*dialogs_);
    if (ended_)
        return;
    prepare::applyFoodAndDrinkVat(controls_, answer, log_);
}

void MainWindow::Timer4_Timer()
{
    form_->Timer4->stop();
    form_->Command1->click();
    if (ended_)
        return;
    form_->Image2[2]->show();
}

void MainWindow::Command1_Click()
{
    prepare::extendSchema(engine_, paths_.Datenpfad_neu, log_);
    unsetCursor();
    form_->Timer5->start();
}

void MainWindow::Timer5_Timer()
{
    form_->Timer5->stop();
    form_->Command2->click();
}

void MainWindow::Command2_Click()
{
    WindowImportProgress progress(*form_);
    const import::ImportResult result
        = import::runImport(controls_, paths_.Datenpfad_neu, paths_.Datenpfad_alt, progress, log_, setup_.numberFormat);
    // The window shows nothing of what was skipped; the log beside the copy keeps it.
    logWritten_ = logFile_ && logFile_->finish(log_.notes());
    if (result.walkBegan && result.stored) {
        showImportFinished();
        return;
    }
    // Without reservations or settings, or with a batch that could not be stored, there is nothing to
    // finish: no "OK", the reason where the success text would stand.
    unsetCursor();
    form_->Timer6->stop();
    form_->Label13->setText(result.errorText);
}

void MainWindow::showImportFinished()
{
    form_->Image2[3]->show();
    unsetCursor();
    form_->Command6->hide();
    form_->Command7->show();
    form_->Timer6->stop();
    form_->Label13->setText(texts::importedText);
}

void MainWindow::Timer6_Timer()
{
    ++Fortschritt_;
    form_->Labelct->setText(QString::number(Fortschritt_) + QLatin1Char('%'));
    form_->setProgressFillWidth(double(Fortschritt_) * progressTwipsPerTick);
    if (Fortschritt_ >= lastProgressTick)
        form_->Timer6->stop();
}

void MainWindow::Command7_Click()
{
    try {
        markImported(controls_, paths_.Datenpfad_neu);
    } catch (const std::exception& error) {
        endWithEngineError(error);
        return;
    }
    dialogs_->showMessage(closingText(), ui::MessageIcon::Information, texts::closingTitle);
    endProgram(0);
}

QString MainWindow::closingText() const
{
    const qsizetype skipped = log_.skippedTotal();
    if (skipped == 0)
        return texts::runSucceeded;
    const QString log = logPathFor(paths_.Datenpfad_neu);
    const QString count = skipped == 1 ? texts::oneSkipped : texts::severalSkipped.arg(skipped);
    const QString where = logWritten_ ? texts::logWrittenTo.arg(log) : texts::logNotWrittenTo.arg(log);
    return texts::runSucceeded + QLatin1Char('\n') + count + texts::skippedSuffix + where;
}

void MainWindow::endWithEngineError(const std::exception& error)
{
    const auto* engineError = dynamic_cast<const store::EngineError*>(&error);
    dialogs_->showMessage(engineError ? store::germanMessage(*engineError) : QString::fromLocal8Bit(error.what()),
                          ui::MessageIcon::Stop, QString());
    endProgram(3);
}

void MainWindow::endProgram(int exitCode)
{
    ended_ = true;
    for (QTimer* timer : {form_->Timer2, form_->Timer3, form_->Timer4, form_->Timer5, form_->Timer6})
        timer->stop();
    // The target is free for the next run once this one has ended, not when the window is gone.
    guard_ = TargetGuard();
    hide();
    if (setup_.endProgram)
        setup_.endProgram(exitCode);
    else
        QCoreApplication::exit(exitCode);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
}

} // namespace tavik::app
