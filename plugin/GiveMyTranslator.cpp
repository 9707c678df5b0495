#include "plugin/GiveMyTranslator.h"

#include <new>

#include "plugin/BayesNetTranslator.h"

ScoreTranslator* GiveMyTranslator() {
  return new (std::nothrow) BayesNetTranslator();
}
