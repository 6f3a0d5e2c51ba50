#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include <sys/resource.h>

namespace tandrel::bench {

// Ends a start-up probe at its first frame: the watched widget's first paint event starts the
// frame, and the zero-timer after it runs once the whole window has been painted and flushed.
// Then prints "<name>_ms=<ms since started> maxrss_kb=<kB> <fields()>" and quits.
class FirstFrame : public QObject
{
public:
    FirstFrame(QWidget *watched, const char *name, std::chrono::steady_clock::time_point started,
        std::function<std::string()> fields)
        : m_name(name)
        , m_started(started)
        , m_fields(std::move(fields))
    {
        watched->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, [this] {
                const double ms
                    = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_started)
                          .count();
                rusage usage {};
                getrusage(RUSAGE_SELF, &usage);
                std::printf("%s_ms=%.3f maxrss_kb=%ld %s\n", m_name, ms, usage.ru_maxrss, m_fields().c_str());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const char *m_name;
    std::chrono::steady_clock::time_point m_started;
    std::function<std::string()> m_fields;
    bool m_seen = false;
};

} // namespace tandrel::bench
