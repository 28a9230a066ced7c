#include "engine/Installation.h"

namespace engine {

void Installation::SetExitCode(int32_t code) {
    if (code > m_nExitCode) m_nExitCode = code;
}

}  // namespace engine
