#include "app/BatchConsole.h"

#include "app/ImportPercent.h"
#include "prepare/PrepareTexts.h"
#include "store/VisibleText.h"

#include <QStringList>

#include <algorithm>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <csignal>
#include <unistd.h>
#endif

namespace tavik::app {

namespace {
constexpr int barWidth = 30;
constexpr qint64 redrawEveryMs = 100;
const QString vatQuestion
    = QStringLiteral("Bitte geben Sie die MwSt. für Speisen und Getränke ein (Minibar, Restaurant usw.) [19]: ");

bool isTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) != 0;
}

QString clock(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

BatchConsole::BatchConsole(QLocale numberFormat, std::FILE* out, std::FILE* err, std::FILE* in)
    : numberFormat_(std::move(numberFormat))
    , out_(out)
    , err_(err)
    , in_(in)
    , progress_(isTerminal(err))
{
#ifndef Q_OS_WIN
    // A reader that goes away ("| head") must not end a run half way, nor a check before it has
    // removed its copies: writes to it simply fail.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

void BatchConsole::write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void BatchConsole::result(const QString& text)
{
    write(out_, text + QLatin1Char('\n'));
}

void BatchConsole::error(const QString& text)
{
    write(err_, store::visibleText(text) + QLatin1Char('\n'));
}

bool BatchConsole::canAsk() const
{
    return isTerminal(in_);
}

std::optional<QString> BatchConsole::askFoodAndDrinkVat()
{
    if (!canAsk())
        return std::nullopt;
    write(err_, vatQuestion);
    QByteArray line;
    for (int c = std::fgetc(in_); c != EOF && c != '\n'; c = std::fgetc(in_))
        line.append(static_cast<char>(c));
    if (line.isEmpty() && std::feof(in_))
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return line.isEmpty() ? prepare::texts::vatDefault() : QString::fromLocal8Bit(line);
}

void BatchConsole::taskStarted(const QString& name)
{
    if (progress_)
        write(err_, store::visibleText(name) + QStringLiteral(" …"));
}

void BatchConsole::taskFinished(double seconds)
{
    if (progress_)
        write(err_, QStringLiteral(" fertig (%1 s)\n").arg(numberFormat_.toString(seconds, 'f', 1)));
}

void BatchConsole::begin(qint32 total)
{
    total_ = total;
    importClock_.start();
    lastDrawnMs_ = -1;
    if (progress_)
        write(err_, QStringLiteral("\n"));
}

void BatchConsole::reservationDone(qint64 done, qint32 total)
{
    if (!progress_)
        return;
    const qint64 now = importClock_.elapsed();
    if (done < total_ && lastDrawnMs_ >= 0 && now - lastDrawnMs_ < redrawEveryMs)
        return;
    lastDrawnMs_ = now;
    drawImportLine(done, importPercent(done, total));
}

void BatchConsole::drawImportLine(qint64 done, qint16 percent)
{
    const int filled = total_ > 0 ? static_cast<int>(std::clamp<qint64>(done * barWidth / total_, 0, barWidth)) : barWidth;
    const double seconds = importClock_.elapsed() / 1000.0;
    const double perSecond = seconds > 0 ? done / seconds : 0;
    const qint64 left = perSecond > 0 ? static_cast<qint64>((total_ - done) / perSecond) : 0;
    QString line = QStringLiteral("\r  [%1%2] %3 %  %4 Reservierungen/s  noch %5 ")
                       .arg(QString(filled, QLatin1Char('#')), QString(barWidth - filled, QLatin1Char('-')))
                       .arg(percent, 3)
                       .arg(numberFormat_.toString(perSecond, 'f', 0), clock(qMax<qint64>(left, 0)));
    write(err_, line);
}

} // namespace tavik::app
