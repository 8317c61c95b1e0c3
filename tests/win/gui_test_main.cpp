// main() for the Windows GUI tests: like GoogleTest's own, plus a screenshot
// of the whole (virtual) screen at the first failure of each test, taken
// while its windows are still up and saved as
// screenshots\<suite>.<test>.bmp in the test's working folder.
#include "wintest.hpp"

#include <gtest/gtest.h>

namespace {

class ScreenshotOnFailure : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { taken_ = false; }
    void OnTestPartResult(const testing::TestPartResult& result) override
    {
        if (!result.failed() || taken_)
            return;
        taken_ = true;
        const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
        CreateDirectoryA("screenshots", nullptr);
        const std::string path =
            std::string("screenshots\\") + test.test_suite_name() + "." + test.name() + ".bmp";
        if (wt::SaveScreenshot(path))
            std::printf("screenshot of the failure: %s\n", path.c_str());
    }
    bool taken_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new ScreenshotOnFailure);
    return RUN_ALL_TESTS();
}
