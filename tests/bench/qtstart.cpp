// The floor for the translator's start-up: a program that only brings up the
// toolkit the way the translator does and leaves again.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    int toolkitArgc = 1;
    QCoreApplication application(toolkitArgc, argv);
    return argc > 1 ? 1 : 0;
}
