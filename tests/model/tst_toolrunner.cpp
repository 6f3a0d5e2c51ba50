#include "support/TestEnvironment.h"

class Placeholder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QSKIP("not written yet"); }
};

TANDREL_TEST_MAIN(Placeholder)
#include "tst_toolrunner.moc"
