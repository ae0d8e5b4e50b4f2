#include "platform/dialog/qt/Mnemonics.h"

namespace platform {

QChar MnemonicOf(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (text[i + 1] != u'&') return text[i + 1];
    ++i;  // "&&" is a literal ampersand, not a marker
  }
  return QChar();
}

QString WithoutMnemonicMarkers(const QString& text) {
  QString shown;
  shown.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size()) ++i;
    shown += text[i];
  }
  return shown;
}

bool MnemonicMatches(QChar mnemonic, const QString& typed) {
  return !mnemonic.isNull() && typed.size() == 1 &&
         typed[0].toCaseFolded() == mnemonic.toCaseFolded();
}

}  // namespace platform
