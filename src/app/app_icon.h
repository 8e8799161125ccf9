#pragma once
// The application icon: a chip with an arrow writing into it, drawn at 32 x 32 and 16 x 16
// pixels in the sixteen colours of the classic palette.

#include <QIcon>

namespace quorvel {

QIcon QuorvelIcon();

}  // namespace quorvel
