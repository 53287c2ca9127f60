#include "core/PrivateFiles.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

int modeOf(const QString& path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

void setMode(const QString& path, mode_t mode) { ::chmod(QFile::encodeName(path).constData(), mode); }

// Under an umask that takes nothing away, only the code keeps others out.
class PrivateFilesTest : public testing::Test {
protected:
    void SetUp() override { m_umask = ::umask(0); }
    void TearDown() override { ::umask(m_umask); }
    QTemporaryDir dir;

private:
    mode_t m_umask = 0;
};

} // namespace

// New and existing store files and folders: StoreSave.FoldersAndFilesAreOwnerOnly.
TEST_F(PrivateFilesTest, LinksAreNeitherFollowedNorChanged)
{
    const QString target = dir.path() + "/target";
    QFile(target).open(QIODevice::WriteOnly);
    setMode(target, 0644);
    const QString folderTarget = dir.path() + "/folder";
    QDir().mkdir(folderTarget);
    setMode(folderTarget, 0755);
    ASSERT_TRUE(QFile::link(target, dir.path() + "/file-link"));
    ASSERT_TRUE(QFile::link(folderTarget, dir.path() + "/folder-link"));
    ASSERT_TRUE(QFile::link(dir.path() + "/missing", dir.path() + "/dangling"));

    EXPECT_FALSE(PrivateFiles::tighten(dir.path() + "/file-link"));
    PrivateFiles::makeFile(dir.path() + "/file-link");
    PrivateFiles::makeFile(dir.path() + "/dangling");
    PrivateFiles::makeFolders(dir.path() + "/folder-link", dir.path() + "/folder-link");
    EXPECT_EQ(modeOf(target), 0644);
    EXPECT_EQ(modeOf(folderTarget), 0755);
    EXPECT_FALSE(QFile::exists(dir.path() + "/missing"));
}

// The settings file holds API keys.
TEST_F(PrivateFilesTest, SettingsFileIsOwnerOnlyFromItsFirstWrite)
{
    Settings& settings = Settings::instance();
    const QString file = QSettings("Vorbel", "Vorbel").fileName();
    const QString folder = QFileInfo(file).absolutePath();
    QDir(folder).removeRecursively();
    settings.setText(Settings::apiKeyKey, "sk-first");
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(file), 0600);

    setMode(folder, 0755);
    setMode(file, 0644);
    settings.setText(Settings::orgKeyKey, "org");
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(file), 0600);

    const QString target = dir.path() + "/Vorbel.conf";
    ASSERT_TRUE(QFile::rename(file, target));
    setMode(target, 0644);
    ASSERT_TRUE(QFile::link(target, file));
    settings.setText(Settings::apiKeyKey, "sk-second");
    EXPECT_EQ(modeOf(target), 0644);
    QFile::remove(file);
}
