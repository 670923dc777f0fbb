#include "ui/SenderApp.h"

#include <QApplication>
#include <QLabel>

namespace kestrin {

int RunKestrin(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("Kestrin"));
    window.setWindowTitle(QStringLiteral("Kestrin"));
    window.show();
    return app.exec();
}

} // namespace kestrin
