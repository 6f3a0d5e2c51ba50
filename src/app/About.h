#pragma once

#include "model/AboutInfo.h"

class QDialog;
class QWidget;

namespace tandrel {

// A small dialog with the icon, the name, the version and build, and the centred,
// dimmed credits. It deletes itself when closed.
QDialog *makeAboutDialog(const AboutInfo &info, QWidget *parent = nullptr);

} // namespace tandrel
