#pragma once

#include <QMainWindow>

namespace tandrel {

// One window of the app.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
};

} // namespace tandrel
