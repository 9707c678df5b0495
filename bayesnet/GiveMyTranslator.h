#ifndef BAYESNET_GIVEMYTRANSLATOR_H_
#define BAYESNET_GIVEMYTRANSLATOR_H_

#include "bayesnet/BayesNetExport.h"
#include "host/interfaces/ScoreTranslator.h"

// The plug-in's entry point, exported under its plain name for dlsym: a new
// translator that reads BayesNetModel documents, or null when it cannot be
// allocated. The caller owns it and deletes it through ScoreTranslator.
extern "C" BAYESNET_API ScoreTranslator* GiveMyTranslator();

// The type to cast the symbol to after dlsym.
using GiveMyTranslatorFunction = ScoreTranslator* (*)();

#endif  // BAYESNET_GIVEMYTRANSLATOR_H_
