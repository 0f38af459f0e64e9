#include "ui/EditBoxes.h"

#include <QLineEdit>

#include <limits>

namespace zek::ui {

void liftLengthLimit(QLineEdit* edit) { edit->setMaxLength(std::numeric_limits<int>::max()); }

}  // namespace zek::ui
