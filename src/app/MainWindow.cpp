#include "app/MainWindow.h"

namespace tandrel {

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Tandrel"));
    setMinimumSize(700, 520);
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace tandrel
