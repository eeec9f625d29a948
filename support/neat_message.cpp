#include "support/neat.h"
#include "support/user_prompt.h"

#include <cstdarg>
#include <vector>

namespace NEAT {

void AfxMessageBox(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::vector<char> text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    AfxMessageBox(QString::fromLocal8Bit(text.data()));
}

void AfxMessageBox(const QString& text)
{
    user_prompt().show_message("Message", text);
}

void AfxMessageBox(int number)
{
    AfxMessageBox(QString("%1").arg(number, 0, 10));
}

}  // namespace NEAT
