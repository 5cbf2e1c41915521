// One copy per data folder: a second finds the folder held, by whom, and
// can ask the first to come forward; another folder is free.
#include "app/data_lock.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <future>

using namespace qelvar;
using app::DataFolderLock;

TEST(DataFolderLock, ASecondCopyIsToldAndCanBringTheFirstForward) {
    test::TempDir folder, other;
    DataFolderLock first(QString::fromStdString(folder.path));
    ASSERT_TRUE(first.acquire());
    int shown = 0;
    QObject::connect(&first, &DataFolderLock::showRequested, [&] { ++shown; });
    DataFolderLock second(QString::fromStdString(folder.path));
    EXPECT_FALSE(second.acquire());
    EXPECT_EQ(second.ownerPid(), QCoreApplication::applicationPid());
    // The first answers from its event loop, so the second asks from a thread.
    auto asked = std::async(std::launch::async, [&] { return second.askOwnerToShow(); });
    while (asked.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents();
    EXPECT_TRUE(asked.get());
    EXPECT_EQ(shown, 1);
    DataFolderLock elsewhere(QString::fromStdString(other.path));
    EXPECT_TRUE(elsewhere.acquire());
}
