#include "platform/DataFolder.h"

#include "tests/support/ScopedEnvVar.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testsupport::ScopedEnvVar;

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(DataFolder, FoldersComeFromTheEnvironment) {
    const auto noData = ScopedEnvVar::unset("TOBRASK_BARES_DIR");
    const auto noDatabases = ScopedEnvVar::unset("TOBRASK_DB_DIR");
    EXPECT_EQ(datafolder::dataFolder(), QStringLiteral("/var/lib/tobrask/bares"));
    EXPECT_EQ(datafolder::databaseFolder(), QStringLiteral("/var/lib/tobrask/bares"));

    const ScopedEnvVar data("TOBRASK_BARES_DIR", "/srv/bares/");
    EXPECT_EQ(datafolder::dataFolder(), QStringLiteral("/srv/bares"));
    EXPECT_EQ(datafolder::databaseFolder(), QStringLiteral("/srv/bares"));
    const ScopedEnvVar databases("TOBRASK_DB_DIR", "/srv/db");
    EXPECT_EQ(datafolder::databaseFolder(), QStringLiteral("/srv/db"));
}

TEST(DataFolder, NamesAreFoundWhateverTheirCase) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const ScopedEnvVar data("TOBRASK_BARES_DIR", dir.path());

    EXPECT_FALSE(datafolder::fileExists(QStringLiteral("setup.INI")));
    EXPECT_EQ(datafolder::filePath(QStringLiteral("setup.INI")), dir.filePath("setup.INI"));

    touch(dir.filePath("SETUP.INI"));
    EXPECT_TRUE(datafolder::fileExists(QStringLiteral("setup.INI")));
    EXPECT_EQ(datafolder::filePath(QStringLiteral("setup.INI")), dir.filePath("SETUP.INI"));

    // The exact name wins over one that differs in case.
    touch(dir.filePath("setup.INI"));
    EXPECT_EQ(datafolder::filePath(QStringLiteral("setup.INI")), dir.filePath("setup.INI"));
}

} // namespace
