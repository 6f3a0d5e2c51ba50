#include "model/TandrelError.h"

#include <utility>

namespace tandrel {

TandrelError::TandrelError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
{
}

} // namespace tandrel
