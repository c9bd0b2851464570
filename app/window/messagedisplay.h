// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's two ways of telling the user something, each replaceable so that tests record
// instead of blocking in a modal box.
//
// Both show their text as plain text; a line wider than the screen allows is shortened in the
// middle ("…") so that the box fits the screen.
//
// ShowMessage(text): the program's own messages ("Com Pufferüberlauf", ...): a modal box with an
// empty title, an information icon and an OK button, without an owner and kept on top.
//
// ShowException(message): the application's standard exception display, the one place where
// failures that a handler does not catch end up: a modal error box titled with the executable's
// file name without extension, showing the message with a full stop appended when its last
// character sorts after the full stop (ExceptionDisplayText).
//
// ShowRunTimeException(message): the display the serial component uses for an error of its
// receive path that it reports without raising: the same box titled "Anwendungsfehler".

#include <QString>
#include <exception>
#include <functional>

class QMessageBox;

using MessageSink = std::function<void(const QString& text)>;

// Shows one of the program's messages; returns when the user has confirmed it.
void ShowMessage(const QString& text);

// Shows the text of a failure that no handler caught; returns when the user has confirmed it.
// `message` is the exception's message as it stands; the full-stop rule is applied here.
void ShowException(const QString& message);

// Shows the text of a failure of the serial receive path that the serial component reports
// without raising it; returns when the user has confirmed it. The full-stop rule applies.
void ShowRunTimeException(const QString& message);

// Shows the exception held by `error` through ShowException. Exceptions of the program's
// hierarchy and other std::exceptions show their text; anything else a generic German text.
void ShowCurrentException(std::exception_ptr error);

// Runs `handler` and shows whatever it throws through ShowCurrentException. Every event handler
// of the window runs through this, so that no exception unwinds through the toolkit's frames.
void RunGuarded(const std::function<void()>& handler);

// The message with the full-stop rule applied: a full stop is appended when the last character
// of a non-empty message has a code greater than that of ".".
QString ExceptionDisplayText(const QString& message);

// The title of the exception box: the executable's file name without its extension.
QString ApplicationTitle();

// Replace the box behind ShowMessage / ShowException (tests record). An empty function restores
// the modal boxes. The exception sink receives the text after the full-stop rule.
void SetMessageSink(MessageSink sink);
void SetExceptionSink(MessageSink sink);

// Replaces running the built box (tests inspect it instead); applies where no sink above is set.
// An empty function restores exec().
using MessageBoxRunner = std::function<void(QMessageBox& box)>;
void SetMessageBoxRunner(MessageBoxRunner runner);
