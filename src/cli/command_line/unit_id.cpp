#include "unit_id.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QUtf8StringView>
#include <algorithm>

namespace quorvel::cli {
namespace {

constexpr QChar::Category kNotPrintable[] = {QChar::Other_Control,      QChar::Other_Format,
                                             QChar::Other_Surrogate,    QChar::Other_PrivateUse,
                                             QChar::Other_NotAssigned,  QChar::Separator_Line,
                                             QChar::Separator_Paragraph};

bool printable(char32_t c) {
    return std::ranges::find(kNotPrintable, QChar::category(c)) == std::end(kNotPrintable);
}

}  // namespace

std::string unitIdProblem(std::string_view id) {
    // Any character takes at most 4 bytes: a longer id is too long whatever it holds.
    const std::string tooLong = "takes at most " + std::to_string(kLongestUnitId) + " characters";
    if (id.size() > kLongestUnitId * 4) return tooLong;
    if (!QUtf8StringView(id).isValidUtf8()) return "must be UTF-8 text";
    const QList<uint> characters = QString::fromUtf8(id.data(), qsizetype(id.size())).toUcs4();
    if (!std::ranges::all_of(characters, [](uint c) { return printable(char32_t(c)); })) {
        return "must be printable: no control or format characters (such as a line end or an "
               "escape)";
    }
    if (size_t(characters.size()) > kLongestUnitId) return tooLong;
    return {};
}

}  // namespace quorvel::cli
