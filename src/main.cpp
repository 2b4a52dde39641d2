#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KorvelSVN"));
    QApplication::setOrganizationName(QStringLiteral("KorvelSVN"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KorvelSVN"));
    window.resize(1280, 800);
    window.setMinimumSize(1080, 680);
    window.show();
    return application.exec();
}
