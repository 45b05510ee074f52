// The settings file kept whole: other encodings, links, read-only files, byte order marks and line
// ends survive a start and a close; a file that cannot be written does not trap the window; and the
// program without a display says so.
#include "tests/printing.h"
#include "window/main_window.h"
#include "tests/helpers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void Put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The file a fresh window writes at its close, with `from` replaced by `to`.
QByteArray SavedWith(const QByteArray &from, const QByteArray &to)
{
    SettingsFile none;
    {
        MainWindow form;
        Ui(form).flashFile->setText("placeholder");
        form.show();
        EXPECT_TRUE(form.close());
    }
    return Bytes(SettingsFile::Path()).replace(from, to);
}

bool StartAndClose()
{
    MainWindow form;
    form.show();
    return form.close();
}

}  // namespace

TEST(SettingsKept, ALatin1FileSurvivesStartAndCloseByteForByte)
{
    const QByteArray latin1 = SavedWith("Flash=placeholder", "Flash=C:\\M\xfcll\\\xe4.hex");
    SettingsFile file;
    Put(SettingsFile::Path(), latin1);
    {
        MainWindow form;
        EXPECT_EQ(Ui(form).flashFile->text(), QString::fromUtf8("C:\\Müll\\ä.hex"));
        form.show();
        ASSERT_TRUE(form.close());
    }
    EXPECT_EQ(Bytes(SettingsFile::Path()), latin1);
    {
        MainWindow form;  // a value the user changes is written as UTF-8
        Ui(form).flashFile->setText(QString::fromUtf8("/home/me/Müll.hex"));
        form.show();
        ASSERT_TRUE(form.close());
    }
    EXPECT_TRUE(Bytes(SettingsFile::Path()).contains("Flash=/home/me/M\xc3\xbcll.hex"));
}

TEST(SettingsKept, AByteOrderMarkAndLoneCarriageReturnsAreRead)
{
    SettingsFile file;
    const QByteArray bom = "\xEF\xBB\xBF[Config]\r\nCaption=With a mark\r\nDevice=18\r\n";
    Put(SettingsFile::Path(), bom);
    {
        MainWindow form;
        EXPECT_EQ(form.windowTitle(), "With a mark");
        EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega8");
        form.show();
        ASSERT_TRUE(form.close());
    }
    const QByteArray saved = Bytes(SettingsFile::Path());
    EXPECT_TRUE(saved.startsWith(bom)) << "the mark and the untouched lines stay";
    EXPECT_EQ(saved.count("[Config]"), 1);

    Put(SettingsFile::Path(), "[Config]\rCaption=Old Mac\rExtraCommandLine=-B 4\r");
    {
        MainWindow form;
        EXPECT_EQ(form.windowTitle(), "Old Mac");
        EXPECT_EQ(Ui(form).extraOptions->text(), "-B 4");
        form.show();
        ASSERT_TRUE(form.close());
    }
    EXPECT_TRUE(Bytes(SettingsFile::Path()).startsWith("[Config]\rCaption=Old Mac\rExtraCommandLine=-B 4\r"));
}

TEST(SettingsKept, ALinkedFileStaysALinkAndItsTargetIsWritten)
{
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("real.ini");
    Put(target, "[Config]\nCaption=Linked\n");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    const bool root = ::geteuid() == 0;
    if (root)  // a file of another user (here: nobody's), which root may save for it
        ASSERT_EQ(::chown(QFile::encodeName(target).constData(), 65534, 65534), 0);
    SettingsFile none;
    ASSERT_TRUE(QFile::link(target, SettingsFile::Path()));
    {
        MainWindow form;
        EXPECT_EQ(form.windowTitle(), "Linked");
        Ui(form).extraOptions->setText("-B 8");
        form.show();
        ASSERT_TRUE(form.close());
    }
    EXPECT_TRUE(QFileInfo(SettingsFile::Path()).isSymLink());
    EXPECT_TRUE(Bytes(target).contains("ExtraCommandLine=-B 8"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the file keeps its mode";
    if (root)
        EXPECT_EQ(st.st_uid, 65534u) << "and its owner";
    EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files), QStringList{"real.ini"}) << "no temporary file left";
}

TEST(SettingsKept, AReadOnlyFileIsReportedLeftAloneAndTheUserMayCloseWithoutSaving)
{
    SettingsFile file("[Config]\nCaption=Read only\n");
    ::chmod(QFile::encodeName(SettingsFile::Path()).constData(), 0444);
    {
        MainWindow form;
        Ui(form).extraOptions->setText("-B 8");
        form.show();
        Watch watch;  // OK: the window stays
        EXPECT_FALSE(form.close());
        ASSERT_EQ(watch.messages.size(), 1u);
        EXPECT_EQ(watch.messages[0].text, "Unable to write to " + SettingsFile::Path() + ".");
        EXPECT_TRUE(form.isVisible());
        watch.answer = true;  // "Close without saving"
        EXPECT_TRUE(form.close());
        EXPECT_EQ(watch.messages.size(), 2u);
    }
    EXPECT_EQ(Bytes(SettingsFile::Path()), "[Config]\nCaption=Read only\n");
    struct stat st {};
    ::stat(QFile::encodeName(SettingsFile::Path()).constData(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    ::chmod(QFile::encodeName(SettingsFile::Path()).constData(), 0644);

    // A folder where the file should be: never writable, and the window can still be closed.
    QFile::remove(SettingsFile::Path());
    ASSERT_TRUE(QDir().mkdir(SettingsFile::Path()));
    {
        MainWindow form;
        form.show();
        Watch watch;
        watch.answer = true;
        EXPECT_TRUE(form.close());
        EXPECT_EQ(watch.messages.size(), 1u);
    }
    QDir().rmdir(SettingsFile::Path());

    // A FIFO where the file should be: the start does not wait for a writer, and it is never written.
    ASSERT_EQ(::mkfifo(QFile::encodeName(SettingsFile::Path()).constData(), 0644), 0);
    {
        MainWindow form;
        EXPECT_EQ(form.windowTitle(), "Fusewerk 1");
        form.show();
        Watch watch;
        watch.answer = true;
        EXPECT_TRUE(form.close());
        ASSERT_EQ(watch.messages.size(), 1u);
        EXPECT_TRUE(watch.messages[0].text.startsWith("Unable to write to "));
    }
    EXPECT_TRUE(QFileInfo(SettingsFile::Path()).exists() && !QFileInfo(SettingsFile::Path()).isFile()) << "left alone";
    QFile::remove(SettingsFile::Path());
}

TEST(SettingsKept, WithoutADisplayTheProgramSaysSoAndExits1)
{
    for (const char *display : {"", ":97"}) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        if (*display)
            env.insert("DISPLAY", display);
        else
            env.remove("DISPLAY");
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(FUSEWERK_PROGRAM), {});
        ASSERT_TRUE(program.waitForFinished(10000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "no core dump";
        EXPECT_EQ(program.exitCode(), 1);
        const QByteArray said = program.readAllStandardError();
        EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
        EXPECT_TRUE(said.startsWith("fusewerk: no display could be opened")) << said.toStdString();
    }
}
