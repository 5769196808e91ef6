#include "RunProcess.h"
#include "TempDir.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(Screens, DrawsTheIdleWindowsTheThreeDialogsAndSeveralCards)
{
    TempDir dir;
    const ProcessResult result = RunProcess({CORVANE_SCREENS, dir.Path() + "shots"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const QImage plain(QString::fromStdString(dir.Path() + "shots/main-window.png"));
    const QImage withReadId(QString::fromStdString(dir.Path() + "shots/main-window-readid.png"));
    EXPECT_EQ(plain.size(), withReadId.size());
    EXPECT_GE(plain.width(), 528);
    EXPECT_NE(plain, withReadId);  // the two extra buttons
    for (const char* name : {"about-box.png", "component-selection.png", "lan-setup.png", "several-cards.png"})
        EXPECT_FALSE(QImage(QString::fromStdString(dir.Path() + "shots/" + name)).isNull()) << name;
}
