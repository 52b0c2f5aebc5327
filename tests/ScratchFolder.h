// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh, empty folder of the running test's own, under the system's temp
// folder: PREFIX-PID-TESTNAME, so that tests running side by side never share
// files. The fixture removes it in its TearDown.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

inline std::filesystem::path MakeScratchFolder(const std::string& strPrefix) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        (strPrefix + "-" + std::to_string(::getpid()) + "-" +
         testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}
