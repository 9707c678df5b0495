#include "bayesnet/GiveMyTranslator.h"

#include <new>

#include "bayesnet/reader/BayesNetTranslator.h"

ScoreTranslator* GiveMyTranslator() { return new (std::nothrow) BayesNetTranslator(); }
