// Program entry: the toolkit, the installation directory, the message
// translations and the banner, then the run.
#include "base/diagnostics.h"
#include "driver/run.h"
#include "form/form.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>

static const char *const RIGHTS_NOTICE = "2026 The zepprepro developers";

// The tool title (TOOL_TITLE) reaches translate() only through a pointer, in
// the banner and in the summary; this entry lets lupdate extract it.
//: The product name; normally kept as it is
[[maybe_unused]] static const char *const TOOL_TITLE_SOURCE = QT_TRANSLATE_NOOP("VELDIdent", "V++ Oved Izodazir");

// Only this program's own texts may reach standard error: the toolkit's
// warnings (a non-UTF-8 locale, say) are dropped.
static void dropToolkitMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

// The locale directory of the installation, or null after the fatal text.
static bool findLocaleDirectory(QString *directory)
{
    const char *installation = getenv("PROBAXDIR");
    if (installation == nullptr || *installation == '\0') {
        fputs("Fatal Error: please setup PROBAXDIR environment variable.\n", stderr);
        return false;
    }
    QString separator = QDir::separator();
    *directory = QString::fromLocal8Bit(installation) + separator + QStringLiteral("lib") + separator +
                 QStringLiteral("locale");
    if (!QFileInfo(*directory).isDir()) {
        fprintf(stderr, "Fatal Error: directory doesn't exist '%s'\n", directory->toLocal8Bit().constData());
        return false;
    }
    return true;
}

static void printBanner()
{
    QString title = QCoreApplication::translate("VELDIdent", TOOL_TITLE);
    writeError(substituteArguments(
        QCoreApplication::translate("VELDIdent", "%1 - Test Script Translator - Release %2\n"), title,
        QString::fromLatin1(RELEASE_TEXT)));
    writeError(substituteArguments(QCoreApplication::translate("VELDIdent", "Copyright (C) %1. All Rights Reserved.\n\n"),
                                   QString::fromUtf8(RIGHTS_NOTICE)));
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(dropToolkitMessage);
    // The toolkit may take out arguments it knows; the run reads the real ones.
    int toolkitArgc = 1;
    QCoreApplication application(toolkitArgc, argv);
    QString localeDirectory;
    if (!findLocaleDirectory(&localeDirectory))
        return 1;
    installTranslations(&application, localeDirectory);
    printBanner();
    return runTranslator(argc, argv);
}
