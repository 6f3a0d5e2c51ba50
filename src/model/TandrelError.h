#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

namespace tandrel {

// A refusal the user can act on, carrying a text already chosen through tr.
class TandrelError : public std::exception
{
public:
    explicit TandrelError(QString message);
    static TandrelError msg(const QString &message) { return TandrelError(message); }

    // The text to show, unchanged.
    QString errorDescription() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace tandrel
