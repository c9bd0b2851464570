// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/syserror.h"

#include <cerrno>
#include <cstring>

std::string getSystemError(int err) {
    switch (err) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return "Das System kann die angegebene Datei nicht finden.";
    case ENOTDIR:
    case ELOOP:
        return "Das System kann den angegebenen Pfad nicht finden.";
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK: // the exclusive lock is held by another open
        return "Zugriff verweigert";
    case EMFILE:
    case ENFILE:
        return "Das System kann die Datei nicht öffnen.";
    case ENOMEM:
        return "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten.";
    case EIO:
        return "Ein an das System angeschlossenes Gerät funktioniert nicht.";
    case ENOTTY:
        return "Unzulässige Funktion.";
    case EINVAL:
        return "Falscher Parameter.";
    case ENAMETOOLONG:
        return "Der Dateiname ist zu lang.";
    case EISDIR:
        return "Zugriff verweigert";
    default:
        break;
    }
    char buffer[256];
    // The GNU variant returns the text, which may or may not be in buffer.
    const char* text = ::strerror_r(err, buffer, sizeof buffer);
    return "Systemfehler " + std::to_string(err) + " (" + text + ")";
}
