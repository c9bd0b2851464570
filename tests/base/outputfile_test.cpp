// SPDX-License-Identifier: GPL-3.0-or-later
// Output files are all or nothing: a new file replaces the old one whole, a failure midway keeps
// the old one, and nothing is left behind; targets that cannot be renamed over are written in
// place without ever waiting for a FIFO's reader.

#include "base/exception.h"
#include "base/outputfile.h"
#include "tests/support/fifowatchdog.h"
#include "tests/support/filesizelimit.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "outputfile-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Every name in the folder, hidden ones included: a leftover temporary file shows here.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string m_path;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Writes bytes as name through OutputFile; returns the errno of the write or the commit.
int save(const std::string& name, const std::string& bytes) {
    OutputFile out(name);
    if (const int err = out.write(bytes.data(), bytes.size())) {
        return err;
    }
    return out.commit();
}

} // namespace

TEST(OutputFile, ReplacesTheOldFileWholeKeepingItsModeAndLeavesNothingBehind) {
    TempFolder dir;
    const std::string target = dir.file("run.pmx");
    writeFile(target, std::string(5000, 'o'));
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);

    EXPECT_EQ(save(target, "new"), 0);
    EXPECT_EQ(readFile(target), "new"); // no tail of the larger old file
    EXPECT_EQ(modeOf(target), 0604u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"run.pmx"});

    // A new file gets 0666 less the umask, as a plain create gives it.
    const mode_t mask = ::umask(027);
    EXPECT_EQ(save(dir.file("fresh.csv"), "x"), 0);
    ::umask(mask);
    EXPECT_EQ(modeOf(dir.file("fresh.csv")), 0640u);

    // A link stays a link; the file it names gets the new bytes.
    ASSERT_EQ(::symlink("run.pmx", dir.file("link.pmx").c_str()), 0);
    EXPECT_EQ(save(dir.file("link.pmx"), "via link"), 0);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.pmx")));
    EXPECT_EQ(readFile(target), "via link");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"fresh.csv", "link.pmx", "run.pmx"}));
}

TEST(OutputFile, FailureMidwayKeepsTheOldFileAndLeavesNoTemporaryFile) {
    TempFolder dir;
    const std::string target = dir.file("run.pmx");
    const std::string old(3000, 'o');
    writeFile(target, old);
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        // The first bytes go out, the rest meets the limit: a disk that filled up midway.
        EXPECT_EQ(save(target, std::string(10000, 'n')), EFBIG);
        // A new name that fails midway leaves no file at all.
        EXPECT_EQ(save(dir.file("new.pmx"), std::string(10000, 'n')), EFBIG);
    }
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"run.pmx"});

    // A writer that gives up between write and commit (its own error) changes nothing either.
    {
        OutputFile out(target);
        EXPECT_FALSE(out.inPlace());
        EXPECT_EQ(out.write("abandoned", 9), 0);
    }
    EXPECT_EQ(readFile(target), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"run.pmx"});
}

TEST(OutputFile, TargetsThatCannotBeRenamedOverAreWrittenInPlace) {
    TempFolder dir;
    {
        // A descriptor name reaches the open file itself, truncated like a plain save.
        const std::string target = dir.file("out.csv");
        writeFile(target, std::string(5000, 'o'));
        const int fd = ::open(target.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(save("/dev/fd/" + std::to_string(fd), "short"), 0);
        ::close(fd);
        EXPECT_EQ(readFile(target), "short");
    }
    {
        OutputFile out("/dev/null");
        EXPECT_TRUE(out.inPlace());
        EXPECT_EQ(out.write("x", 1), 0);
        EXPECT_EQ(out.commit(), 0);
        EXPECT_TRUE(fs::is_character_file("/dev/null"));
    }
    const std::string fifo = dir.file("pipe.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        // Nobody reads: refused at once, with the create error.
        FifoWatchdog watchdog(fifo);
        try {
            OutputFile out(fifo);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), "Datei \"" + fifo +
                                       "\" kann nicht erstellt werden. Am anderen Ende der Pipe "
                                       "befindet sich kein Prozess");
        }
        EXPECT_FALSE(watchdog.Fired());
    }
    {
        // Someone reads: the bytes go through the FIFO, which stays a FIFO, and the reader sees
        // the end of its input only after the last byte.
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(reader, 0);
        OutputFile out(fifo);
        EXPECT_TRUE(out.inPlace());
        char buffer[16] = {};
        EXPECT_EQ(::read(reader, buffer, sizeof buffer), -1); // still open for writing: no EOF
        EXPECT_EQ(out.write("piped", 5), 0);
        EXPECT_EQ(out.commit(), 0);
        EXPECT_EQ(::read(reader, buffer, sizeof buffer), 5);
        EXPECT_EQ(std::string(buffer, 5), "piped");
        EXPECT_EQ(::read(reader, buffer, sizeof buffer), 0);
        ::close(reader);
        EXPECT_TRUE(fs::is_fifo(fifo));
    }
}
