#include "platform/DataFolder.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(DataFolder, FoldersComeFromTheEnvironment) {
    unsetenv("TOBRASK_BARES_DIR");
    unsetenv("TOBRASK_DB_DIR");
    EXPECT_EQ(datafolder::dataFolder(), QStringLiteral("/var/lib/tobrask/bares"));
    EXPECT_EQ(datafolder::databaseFolder(), QStringLiteral("/var/lib/tobrask/bares"));

    setenv("TOBRASK_BARES_DIR", "/srv/bares/", 1);
    EXPECT_EQ(datafolder::dataFolder(), QStringLiteral("/srv/bares"));
    EXPECT_EQ(datafolder::databaseFolder(), QStringLiteral("/srv/bares"));
    setenv("TOBRASK_DB_DIR", "/srv/db", 1);
    EXPECT_EQ(datafolder::databaseFolder(), QStringLiteral("/srv/db"));
    unsetenv("TOBRASK_BARES_DIR");
    unsetenv("TOBRASK_DB_DIR");
}

TEST(DataFolder, NamesAreFoundWhateverTheirCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    setenv("TOBRASK_BARES_DIR", dir.path().toLocal8Bit().constData(), 1);

    EXPECT_FALSE(datafolder::fileExists(QStringLiteral("setup.INI")));
    EXPECT_EQ(datafolder::filePath(QStringLiteral("setup.INI")), dir.filePath("setup.INI"));

    touch(dir.filePath("SETUP.INI"));
    EXPECT_TRUE(datafolder::fileExists(QStringLiteral("setup.INI")));
    EXPECT_EQ(datafolder::filePath(QStringLiteral("setup.INI")), dir.filePath("SETUP.INI"));

    // The exact name wins over one that differs in case.
    touch(dir.filePath("setup.INI"));
    EXPECT_EQ(datafolder::filePath(QStringLiteral("setup.INI")), dir.filePath("setup.INI"));
    unsetenv("TOBRASK_BARES_DIR");
}

} // namespace
