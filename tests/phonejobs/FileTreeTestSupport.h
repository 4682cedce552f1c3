#pragma once

#include "phone/DZDataManager.h"
#include "phone/DZDirectory.h"
#include "phone/DZTreeNames.h"

#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace phonejobs_test {

// Runs the loop until the predicate holds; false when the time ran out.
inline bool runUntilTreeSettles(const std::function<bool()>& predicate, double seconds = 60.0)
{
    return testing_support::runUntil(predicate, seconds, 0.05);
}

// The folder at the path, listed through the tree to its end; null (and a
// failure) when the tree has no such folder.
inline std::shared_ptr<DZDirectoryEntry> listedFolder(DZDataManager& manager, const QString& path)
{
    auto folder = manager.getDirectory(path);
    EXPECT_TRUE(folder);
    if (!folder)
        return nullptr;
    folder->update();
    EXPECT_TRUE(runUntilTreeSettles(
        [&] { return folder->status() == dztree::kUpToDate && !folder->hasActionsInProgress(); }));
    return folder;
}

} // namespace phonejobs_test
