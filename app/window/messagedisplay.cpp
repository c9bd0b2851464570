// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/messagedisplay.h"

#include "base/exception.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

#include <algorithm>

namespace {

MessageSink& messageSink() {
    static MessageSink sink;
    return sink;
}

MessageSink& exceptionSink() {
    static MessageSink sink;
    return sink;
}

MessageBoxRunner& boxRunner() {
    static MessageBoxRunner runner;
    return runner;
}

// The messages use a lone carriage return or CR LF as line break, as the original platform's
// boxes did; the toolkit breaks lines at LF only.
QString withLineFeeds(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A line the box cannot break (a long device path) would make it wider than the screen: such a
// line is shortened in the middle, where the start and the end of a path both stay readable.
QString fittedToScreen(const QString& text, const QFont& font) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return text;
    }
    // Beside the text: the icon, the margins and the frame. The toolkit itself keeps a box's
    // text within about 1000 pixels where it can break lines.
    constexpr int kBesideText = 200;
    const int limit = std::clamp(screen->availableGeometry().width() - kBesideText, 100, 1000);
    const QFontMetrics metrics(font);
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (metrics.horizontalAdvance(line) > limit) {
            line = metrics.elidedText(line, Qt::ElideMiddle, limit);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void runBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
    // No owner: the box stands on its own and stays above every window of the program.
    QMessageBox box(icon, title, QString(), QMessageBox::Ok);
    // Plain text: a device name with "<" in it is not markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(fittedToScreen(withLineFeeds(text), box.font()));
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (boxRunner()) {
        boxRunner()(box);
        return;
    }
    box.exec();
}

void showExceptionBox(const QString& title, const QString& message) {
    const QString text = ExceptionDisplayText(message);
    if (exceptionSink()) {
        exceptionSink()(text);
        return;
    }
    runBox(QMessageBox::Critical, title, text);
}

} // namespace

void ShowMessage(const QString& text) {
    if (messageSink()) {
        messageSink()(text);
        return;
    }
    runBox(QMessageBox::Information, QString(), text);
}

void ShowException(const QString& message) {
    showExceptionBox(ApplicationTitle(), message);
}

void ShowRunTimeException(const QString& message) {
    showExceptionBox(QStringLiteral("Anwendungsfehler"), message);
}

void ShowCurrentException(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        ShowException(QString::fromStdString(e.Message()));
    } catch (const std::exception& e) {
        ShowException(QString::fromLocal8Bit(ExceptionMessage(e).c_str()));
    } catch (...) {
        ShowException(QStringLiteral("Unbekannter Fehler"));
    }
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowCurrentException(std::current_exception());
    }
}

QString ExceptionDisplayText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}

QString ApplicationTitle() {
    QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty() && QCoreApplication::instance() == nullptr) {
        return QStringLiteral("plotmira");
    }
    return QFileInfo(path).completeBaseName();
}

void SetMessageSink(MessageSink sink) {
    messageSink() = std::move(sink);
}

void SetExceptionSink(MessageSink sink) {
    exceptionSink() = std::move(sink);
}

void SetMessageBoxRunner(MessageBoxRunner runner) {
    boxRunner() = std::move(runner);
}
