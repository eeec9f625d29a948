#include "device/link_fault.h"

namespace {

QString hex_byte(unsigned int value)
{
    return QString("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

QString link_fault_text(const SLinkFault& fault)
{
    switch (fault.kind) {
        case ELinkFault::STATUS_LENGTH:
            return QString::fromUtf8("读取回复码长度错误,需要%1字节,收到%2字节")
                .arg(fault.needed)
                .arg(fault.got);
        case ELinkFault::DATA_LENGTH:
            return QStringLiteral("Data length error");
        case ELinkFault::COMMAND_TYPE:
            return QStringLiteral("Cmd type error");
        case ELinkFault::READ_LENGTH:
            return QString::asprintf("Data length error,need %d bytes,got %d bytes",
                                     static_cast<int>(fault.needed), static_cast<int>(fault.got));
        case ELinkFault::CHECKSUM:
            return QString::fromUtf8("Checksum错误,算出来是%1, 包内校验是%2")
                .arg(hex_byte(fault.needed), hex_byte(fault.got));
    }
    return {};
}
