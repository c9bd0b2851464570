// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/systemerror.h"

#include "base/exception.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

std::string systemErrorText(int err) {
    switch (err) {
    case ENOENT:
    case ENXIO:  // a device node whose device is gone
    case ENODEV: // the original names a missing COM port so, too
        return "Das System kann die angegebene Datei nicht finden";
    case ENOTDIR:
        return "Das System kann den angegebenen Pfad nicht finden";
    case EACCES:
    case EPERM:
    case EBUSY:       // a port another program holds exclusively
    case EWOULDBLOCK: // the exclusive lock is held by another open
        return "Zugriff verweigert";
    case ETXTBSY:
        return "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen "
               "Prozess verwendet wird";
    case EROFS:
        return "Der Datenträger ist schreibgeschützt";
    case ENOSPC:
        return "Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden";
    case EDQUOT:
        return "Das Speicherkontingent des Benutzers ist überschritten";
    case EFBIG:
        return "Die Datei ist zu groß";
    case EISDIR:
        return "Der angegebene Name ist ein Verzeichnis";
    case EIO:
        return "Ein an das System angeschlossenes Gerät funktioniert nicht";
    case EMFILE:
    case ENFILE:
        return "Das System kann die Datei nicht öffnen";
    case ENAMETOOLONG:
        return "Der Dateiname oder die Erweiterung ist zu lang";
    case EINVAL:
        return "Falscher Parameter";
    case ENOTTY:
        return "Unzulässige Funktion";
    case ELOOP:
        return "Zu viele Ebenen symbolischer Verknüpfungen";
    case ENOMEM:
        return "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten";
    case EEXIST:
        return "Die Datei ist bereits vorhanden";
    case EPIPE: // also a FIFO that nobody reads, refused at open
        return "Am anderen Ende der Pipe befindet sich kein Prozess";
    default:
        return "Systemfehler " + std::to_string(err);
    }
}

std::string inOutErrorText(int err) {
    switch (err) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return "Zu wenig Speicherplatz";
    case ENOENT:
        return "Datei nicht gefunden";
    case EINVAL:
    case ENAMETOOLONG:
        return "Ungültiger Dateiname";
    case EMFILE:
    case ENFILE:
        return "Zu viele geöffnete Dateien";
    case EACCES:
    case EPERM:
    case EROFS:
        return "Dateizugriff verweigert";
    default:
        return "E/A-Fehler " + std::to_string(err);
    }
}

void raiseInOutError(int err) {
    throw EInOutError(inOutErrorText(err), err);
}

std::string fullFileName(const std::string& fileName) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(fileName, ec);
    return ec ? fileName : full.lexically_normal().string();
}

void raiseCreateError(const std::string& fileName, int err) {
    throw EFCreateError("Datei \"" + fullFileName(fileName) + "\" kann nicht erstellt werden. " +
                        systemErrorText(err));
}

void raiseOpenError(const std::string& fileName, int err) {
    throw EFOpenError("Datei \"" + fullFileName(fileName) + "\" kann nicht geöffnet werden. " +
                      systemErrorText(err));
}
