#pragma once

#include "link/livesession.h"

class QWidget;

namespace qova::ui {

class Operator;

// Shows a prompt the analyser raised as its box and gives the live session the answer:
// OK, or Yes and No for a question. Every live window asks through this, so the same
// prompt reads and is answered alike whichever window is open.
void AskAnalyserPrompt(Operator &op, QWidget *parent, link::LiveSession &session, const link::Prompt &prompt);

} // namespace qova::ui
