#pragma once
// Context help: a what's-this text for each control number that has one.
#include <QWidget>

namespace klc {

// Gives every control below `root` whose number is in the table its text.
void ApplyWhatsThis(QWidget* root);
// The text of a control number; empty when the table has none.
QString WhatsThisText(int control_id);

} // namespace klc
