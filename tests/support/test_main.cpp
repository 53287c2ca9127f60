#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

// Every test program gets settings and data folders of its own, so programs that
// CTest runs side by side never see each other's files.
int main(int argc, char** argv)
{
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray config = (home.path() + "/config").toUtf8();
    const QByteArray data = (home.path() + "/data").toUtf8();
    setenv("XDG_CONFIG_HOME", config.constData(), 1);
    setenv("XDG_DATA_HOME", data.constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never the user's keyring: a test that wants one starts its own.
    setenv("VORBEL_SECRET_STORE", "file", 1);

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vorbel");
    QCoreApplication::setApplicationName("Vorbel");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
