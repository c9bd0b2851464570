// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance guard: the shared block (per user, taken over after a crash) and the
// hand-over between two real processes.

#include "app/window/oneinstance.h"

#include "base/exception.h"

#include <QProcess>
#include <QSignalSpy>
#include <QWidget>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using instanceblock::ClaimBlock;
using instanceblock::ClaimResult;

namespace {

// A name no real Plotmira and no parallel test run uses.
QString uniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return QStringLiteral("pmtest-%1-%2-%3").arg(getpid()).arg(++counter).arg(what);
}

std::string blockNameFor(const QString& name) {
    return instanceblock::BlockName(name.toStdString(), geteuid());
}

TEST(InstanceBlock, NameIsUpperCasedFileNamePerUser) {
    struct Case {
        const char* File;
        uid_t Uid;
        const char* Name;
    };
    const Case cases[] = {
        {"plotmira", 1000, "/PLOTMIRA.1000"},
        {"/usr/local/bin/plotmira", 0, "/PLOTMIRA.0"}, // same file name, other folder
        {"Plotmira-Dev_2", 42, "/PLOTMIRA-DEV_2.42"},  // another file name runs side by side
        {"pl\xc3\xb6tmira", 7, "/PL\xc3\xb6TMIRA.7"},  // non-ASCII bytes stay as they are
    };
    for (const Case& c : cases) {
        EXPECT_EQ(instanceblock::BlockName(c.File, c.Uid), c.Name) << c.File;
    }
}

TEST(InstanceBlock, HolderKeepsBlockUntilReleasedAndRecordsItsPid) {
    const std::string name = blockNameFor(uniqueName("hold"));
    instanceblock::Claim first = ClaimBlock(name);
    ASSERT_EQ(first.Result, ClaimResult::Claimed) << first.Error;
    EXPECT_EQ(first.RecordedPid, getpid());
    EXPECT_EQ(instanceblock::ReadRecordedPid(name), getpid());

    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    struct stat st {};
    ASSERT_EQ(fstat(fd, &st), 0);
    close(fd);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "other users must not see the block";
    EXPECT_EQ(st.st_size, off_t(instanceblock::kBlockSize));

    const instanceblock::Claim second = ClaimBlock(name);
    EXPECT_EQ(second.Result, ClaimResult::Occupied);
    EXPECT_EQ(second.RecordedPid, getpid());

    first.Release();
    EXPECT_EQ(instanceblock::ReadRecordedPid(name), 0) << "the name goes with the holder";
    instanceblock::Claim third = ClaimBlock(name);
    EXPECT_EQ(third.Result, ClaimResult::Claimed);
}

TEST(InstanceBlock, BlockLeftByCrashedCopyIsTakenOver) {
    // A holder that dies without cleaning up: the name and the recorded pid stay behind.
    const std::string crashed = blockNameFor(uniqueName("crash"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        instanceblock::Claim claim = ClaimBlock(crashed);
        _exit(claim.Result == ClaimResult::Claimed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(instanceblock::ReadRecordedPid(crashed), child);

    instanceblock::Claim next = ClaimBlock(crashed);
    EXPECT_EQ(next.Result, ClaimResult::Claimed);
    EXPECT_EQ(instanceblock::ReadRecordedPid(crashed), getpid());

    // A block written by hand with some process id but held by nobody is free as well.
    const std::string leftover = blockNameFor(uniqueName("leftover"));
    const int fd = shm_open(leftover.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    const std::int32_t pid = 1;
    ASSERT_EQ(pwrite(fd, &pid, sizeof pid, 0), ssize_t(sizeof pid));
    close(fd);
    instanceblock::Claim taken = ClaimBlock(leftover);
    EXPECT_EQ(taken.Result, ClaimResult::Claimed);
    EXPECT_EQ(instanceblock::ReadRecordedPid(leftover), getpid());
}

TEST(OneInstanceGuard, OnlyOneGuardPerProgram) {
    TOneInstance guard(nullptr, uniqueName("one"));
    try {
        TOneInstance second(nullptr, uniqueName("two"));
        FAIL() << "a second guard was created";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "TOneInstance:\rAlready one TOneInstance control in this project!");
    }
}

TEST(OneInstanceGuard, HandOverToNobodyListeningGivesUpWithoutHanging) {
    const QString name = uniqueName("mute");
    // A running copy that holds the block but never answers.
    instanceblock::Claim holder = ClaimBlock(blockNameFor(name));
    ASSERT_EQ(holder.Result, ClaimResult::Claimed);
    TOneInstance guard(nullptr, name);
    EXPECT_FALSE(guard.IsFirstInstance());
    EXPECT_FALSE(guard.IsFirstInstance()) << "the answer must not change";
    EXPECT_FALSE(guard.HandOver(200));
}

#ifdef PLOTMIRA_ONEINSTANCE_HELPER

// Starts the helper (a second copy) and runs the event loop until it ends.
int runSecondCopy(const QString& name) {
    QProcess second;
    QSignalSpy finished(&second, &QProcess::finished);
    second.start(QStringLiteral(PLOTMIRA_ONEINSTANCE_HELPER), {name});
    if (!second.waitForStarted(10000)) {
        return -1;
    }
    if (!finished.wait(20000)) {
        second.kill();
        second.waitForFinished();
        return -2;
    }
    return second.exitStatus() == QProcess::NormalExit ? second.exitCode() : -3;
}

TEST(OneInstanceGuard, SecondProcessBringsFirstToFrontAndEnds) {
    const QString name = uniqueName("handover");
    TOneInstance guard(nullptr, name);
    ASSERT_TRUE(guard.IsFirstInstance());
    QWidget mainWindow;
    mainWindow.showMinimized();
    ASSERT_TRUE(mainWindow.isMinimized());
    guard.SetMainWindow(&mainWindow);
    QSignalSpy started(&guard, &TOneInstance::AnotherInstanceStarted);

    EXPECT_EQ(runSecondCopy(name), 0) << "the second copy must end with status 0";
    EXPECT_EQ(started.count(), 1);
    EXPECT_FALSE(mainWindow.isMinimized());
    EXPECT_TRUE(mainWindow.isVisible());

    // Every further start hands over again.
    EXPECT_EQ(runSecondCopy(name), 0);
    EXPECT_EQ(started.count(), 2);
}

TEST(OneInstanceGuard, CopyStartedAfterFirstEndedBecomesFirst) {
    const QString name = uniqueName("after");
    {
        TOneInstance guard(nullptr, name);
        ASSERT_TRUE(guard.IsFirstInstance());
    }
    EXPECT_EQ(runSecondCopy(name), 3);
}

#endif

} // namespace
