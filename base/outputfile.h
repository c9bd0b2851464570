// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the program writes an output file (session files, bitmaps, CSV files): all or
// nothing, and never waiting in open().
//
// A regular file, or a name that does not exist yet, is written to a temporary file beside it
// (".<name>.XXXXXX" in the same folder) and renamed over the target only by commit(), after every
// byte was written and, when it replaces a file, synced. A write that fails midway (disk full,
// file size limit) therefore leaves the old file as it was, and the temporary file is removed.
// A new file gets mode 0666 less the umask; a replaced file keeps its mode (and, where allowed,
// its owner). A symbolic link to a file stays a link: the file it names is replaced.
//
// Anything else is written in place, as there is nothing to rename over: a FIFO or pipe with a
// reader, a device (/dev/null), a descriptor name (/dev/stdout, /dev/fd/N, /proc/...), a dangling
// link (its target is created), and an existing file whose folder takes no new names (read-only
// folder, writable file; truncated first, as a plain save would). There the bytes written before
// a failure stay.
//
// The open itself never waits: a FIFO without a reader, which a plain open would wait for
// forever, is refused at once.
//
// Not thread-safe; one object per output. Moving is not supported.

#include <cstddef>
#include <string>

class OutputFile {
public:
    // Opens fileName for a complete rewrite. Raises EFCreateError "Datei "<full name>" kann
    // nicht erstellt werden. <system text>" when it cannot be written: the folder is missing,
    // access is refused, it is a folder, a FIFO without a reader ("Am anderen Ende der Pipe
    // befindet sich kein Prozess"), and so on. Nothing is changed then.
    explicit OutputFile(const std::string& fileName);
    // Without a successful commit(): the temporary file is removed and the target is untouched
    // (written-in-place targets keep what was written).
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends size bytes. Returns 0, or the errno of the write that failed: ENOSPC when the
    // medium takes no more bytes, EFBIG beyond the file size limit, EPIPE when the reader of a
    // pipe went away (instead of the signal that would end the program with its data unsaved).
    int write(const void* data, std::size_t size);

    // Completes the output: syncs a file that replaces another, closes, and renames the
    // temporary file over the target. Returns 0, or the errno of the step that failed; then the
    // temporary file is gone and the target is as before. Call at most once.
    int commit();

    // True when the bytes go straight into the target (see above).
    bool inPlace() const { return m_inPlace; }

    // A program that lets a signal abandon its outputs (plotmira-cli record, whose FIFO reader
    // may stop reading) installs a check here: a write asks it before each system call and
    // after one interrupted by a signal, and fails with EINTR when it returns true; otherwise,
    // and without a check, the write goes on.
    // Main thread only; nullptr removes the check.
    static void SetAbandonCheck(bool (*abandon)());

private:
    int m_fd = -1;
    std::string m_temporary; // empty: written in place
    std::string m_target;    // what the temporary file is renamed to
    bool m_replaces = false; // an existing file is replaced: sync before the rename
    bool m_inPlace = true;
};
