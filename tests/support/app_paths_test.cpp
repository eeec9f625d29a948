#include "support/app_paths.h"
#include "support/app_identity.h"
#include "support/log_file.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

struct SFolderCase {
    const char* folder;
    EInstallKind kind;
};

class InstallKindOf : public ::testing::TestWithParam<SFolderCase> {};

TEST_P(InstallKindOf, FollowsWhereTheExecutableLies)
{
    EXPECT_STREQ(install_kind_text(install_kind_of(GetParam().folder)), install_kind_text(GetParam().kind))
        << GetParam().folder;
}

INSTANTIATE_TEST_SUITE_P(Folders, InstallKindOf,
                         ::testing::Values(SFolderCase{"/usr/bin", EInstallKind::SYSTEM},
                                           SFolderCase{"/usr/local/bin", EInstallKind::SYSTEM},
                                           SFolderCase{"/opt/tandora/bin", EInstallKind::SYSTEM},
                                           SFolderCase{"/opt", EInstallKind::SYSTEM},
                                           SFolderCase{"/usr/bin/", EInstallKind::SYSTEM},
                                           SFolderCase{"/usr/../home/a/build/app", EInstallKind::PORTABLE},
                                           SFolderCase{"/usrlocal/bin", EInstallKind::PORTABLE},
                                           SFolderCase{"/optical", EInstallKind::PORTABLE},
                                           SFolderCase{"/home/a/tandora/build/app", EInstallKind::PORTABLE},
                                           SFolderCase{"/tmp/usr/bin", EInstallKind::PORTABLE}));

// A scratch home with its own XDG folders, working folder and application names; the
// executable is placed where each test says.
class FileLocations : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_scratch.isValid());
        for (const char* name : kVariables)
            m_saved_env.append(qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
        qputenv("HOME", m_scratch.filePath("home").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", m_scratch.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", m_scratch.filePath("data").toLocal8Bit());
        m_saved_names =
            QStringList{QCoreApplication::organizationName(), QCoreApplication::organizationDomain(),
                        QCoreApplication::applicationName()};
        apply_app_identity();
        m_saved_folder = QDir::currentPath();
        ASSERT_TRUE(QDir().mkpath(m_scratch.filePath("work")));
        ASSERT_TRUE(QDir::setCurrent(m_scratch.filePath("work")));
    }

    void TearDown() override
    {
        set_executable_folder({});
        QDir::setCurrent(m_saved_folder);
        QCoreApplication::setOrganizationName(m_saved_names[0]);
        QCoreApplication::setOrganizationDomain(m_saved_names[1]);
        QCoreApplication::setApplicationName(m_saved_names[2]);
        for (int i = 0; i < m_saved_env.size(); ++i) {
            if (m_saved_env[i].isNull())
                qunsetenv(kVariables[i]);
            else
                qputenv(kVariables[i], m_saved_env[i]);
        }
    }

    QString scratch(const QString& path) const { return m_scratch.filePath(path); }

    // Writes one folder, then reads it back the way the next run of the program would.
    static void remember_and_restart()
    {
        {
            QSettings settings(settings_file_path(), QSettings::IniFormat);
            settings.setValue("/Config/WavLoadDir", "/home/a/songs/");
        }
        QSettings next_run(settings_file_path(), QSettings::IniFormat);
        EXPECT_EQ(next_run.value("/Config/WavLoadDir").toString(), "/home/a/songs/");
    }

    static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
    QTemporaryDir m_scratch;
    QList<QByteArray> m_saved_env;
    QStringList m_saved_names;
    QString m_saved_folder;
};

TEST_F(FileLocations, InstalledCopyUsesTheUsersFolders)
{
    set_executable_folder("/usr/bin");
    EXPECT_EQ(settings_file_path(), scratch("config/Tandora/Tandora/Config.ini"));
    remember_and_restart();
    EXPECT_TRUE(QFile::exists(scratch("config/Tandora/Tandora/Config.ini")));

    // The data folder does not exist yet; the first record makes it.
    EXPECT_EQ(log_file_path(), scratch("data/Tandora/Tandora/log.txt"));
    CLogFile(log_file_path()).log("first");
    EXPECT_TRUE(QFile::exists(scratch("data/Tandora/Tandora/log.txt")));
    EXPECT_FALSE(QFile::exists(scratch("work/log.txt")));
}

TEST_F(FileLocations, PortableCopyKeepsSettingsBesideItselfAndTheLogInTheWorkingFolder)
{
    ASSERT_TRUE(QDir().mkpath(scratch("stick/Tandora")));
    set_executable_folder(scratch("stick/Tandora"));
    EXPECT_EQ(settings_file_path(), scratch("stick/Tandora/Config.ini"));
    remember_and_restart();
    EXPECT_TRUE(QFile::exists(scratch("stick/Tandora/Config.ini")));
    EXPECT_FALSE(QDir(scratch("config")).exists());

    EXPECT_EQ(log_file_path(), scratch("work/log.txt"));
}

}  // namespace
