#include "FontWarmUp.h"

#include <fontconfig/fontconfig.h>

// The toolkit asks the same library and finds its configuration loaded: the library
// keeps one for the whole process, and is safe to call from any thread.
FontWarmUp::FontWarmUp() : m_thread([] { (void)FcInit(); }) {}

FontWarmUp::~FontWarmUp()
{
    m_thread.join();
}
