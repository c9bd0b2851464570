// SPDX-License-Identifier: GPL-3.0-or-later
// The one table of German error texts: what a session file, a bitmap, a CSV file and a serial
// port show for the same failure.

#include "base/exception.h"
#include "base/systemerror.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <utility>

TEST(SystemErrorTexts, EveryRoomWordsAFailureAlike) {
    const std::pair<int, const char*> texts[] = {
        {ENOENT, "Das System kann die angegebene Datei nicht finden"},
        // A device node whose device is gone reads as a missing port, as the original says it.
        {ENODEV, "Das System kann die angegebene Datei nicht finden"},
        {ENXIO, "Das System kann die angegebene Datei nicht finden"},
        {ENOTDIR, "Das System kann den angegebenen Pfad nicht finden"},
        {EACCES, "Zugriff verweigert"},
        // A port another program holds, or whose lock it holds.
        {EBUSY, "Zugriff verweigert"},
        {EWOULDBLOCK, "Zugriff verweigert"},
        {EISDIR, "Der angegebene Name ist ein Verzeichnis"},
        {ENOTTY, "Unzulässige Funktion"},
        {EIO, "Ein an das System angeschlossenes Gerät funktioniert nicht"},
        {ENOSPC, "Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden"},
        {EPIPE, "Am anderen Ende der Pipe befindet sich kein Prozess"},
        {12345, "Systemfehler 12345"},
    };
    for (const auto& [err, text] : texts) {
        EXPECT_EQ(systemErrorText(err), text) << err;
    }
    // No room adds the C library's English text to an unknown number.
    EXPECT_EQ(systemErrorText(EXDEV), "Systemfehler " + std::to_string(EXDEV));

    const std::pair<int, const char*> inOut[] = {
        {ENOSPC, "Zu wenig Speicherplatz"},
        {EFBIG, "Zu wenig Speicherplatz"},
        {ENOENT, "Datei nicht gefunden"},
        {EINVAL, "Ungültiger Dateiname"},
        {EMFILE, "Zu viele geöffnete Dateien"},
        {EACCES, "Dateizugriff verweigert"},
        {EIO, "E/A-Fehler 5"},
    };
    for (const auto& [err, text] : inOut) {
        EXPECT_EQ(inOutErrorText(err), text) << err;
    }
    try {
        raiseInOutError(ENOSPC);
        ADD_FAILURE();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, ENOSPC);
        EXPECT_EQ(e.Message(), "Zu wenig Speicherplatz");
    }
}
