#pragma once

#include "IEditorFactory.h"

// The Quelor panel as the effect builds it on demand, for the products whose panel runs
// in the plug-in's own binary (the VST 2 module; a program that links the effect).
const IEditorFactory& QuelorEditorFactory();
