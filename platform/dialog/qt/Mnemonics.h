#pragma once
// The ampersand convention of the dialogs' texts: "&x" marks x as the control's mnemonic and
// "&&" stands for one ampersand. These helpers read a text under that convention; a text
// without a marked letter simply has no mnemonic.

#include <QChar>
#include <QString>

namespace platform {

// A label keeps the text it was given in this property, since what it shows has the markers
// removed.
inline constexpr char kRawTextProperty[] = "qelmRawText";
// The template id of the control a widget was made for.
inline constexpr char kControlIdProperty[] = "qelmControlId";

// The marked letter, or a null QChar when the text has none.
QChar MnemonicOf(const QString& text);
// The text as a static control shows it: markers removed, "&&" shown as one ampersand.
QString WithoutMnemonicMarkers(const QString& text);
// Whether a typed character selects the given mnemonic (letter case ignored).
bool MnemonicMatches(QChar mnemonic, const QString& typed);

}  // namespace platform
