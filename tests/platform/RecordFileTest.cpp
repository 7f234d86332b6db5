#include "platform/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(RecordFile, ReplacesItsRecordInPlace) {
    QTemporaryDir folder;
    RecordFile file(folder.filePath("record"));
    EXPECT_TRUE(file.read().isEmpty());
    EXPECT_FALSE(QFile::exists(file.path()));

    file.replace("first record");
    file.replace("second");
    EXPECT_EQ(file.read(), "secondrecord") << "bytes past the record's end stay";
    file.overwrite(0, 'S');
    EXPECT_EQ(RecordFile(file.path()).read(), "Secondrecord");
}

TEST(RecordFile, FailsNamingTheFile) {
    QTemporaryDir folder;
    // A folder in the record's place: no user, root included, can write it as a file.
    ASSERT_TRUE(QDir(folder.path()).mkdir("record"));
    RecordFile file(folder.filePath("record"));
    for (const auto& use :
         {+[](RecordFile& f) { f.replace("x"); }, +[](RecordFile& f) { f.read(); }}) {
        try {
            use(file);
            ADD_FAILURE() << "a folder used as the record";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(file.path().toStdString()), std::string::npos)
                << error.what();
        }
    }
}

} // namespace
