// Out-of-line destructors of the abstract host interfaces, so that their
// virtual tables and type information live in libmodelcore.so alone and a
// plug-in shares them with the host.

#include "host/ColumnScoring.h"
#include "host/ScoreCaseRecord.h"
#include "host/ScoreDictVar.h"
#include "host/ScoreDictionary.h"
#include "host/ScoreModel.h"
#include "host/ScoreResult.h"
#include "host/ScoreTranslator.h"
#include "host/ScoreValue.h"
#include "host/ScoreVersionInfo.h"

ScoreValue::~ScoreValue() = default;
ScoreDictVar::~ScoreDictVar() = default;
ScoreDictionary::~ScoreDictionary() = default;
ScoreCaseRecord::~ScoreCaseRecord() = default;
ScoreModel::~ScoreModel() = default;
ScoreResult::~ScoreResult() = default;
ScoreClsResult::~ScoreClsResult() = default;
ScoreVersionInfo::~ScoreVersionInfo() = default;
ColumnScoring::~ColumnScoring() = default;
ScoreTranslator::~ScoreTranslator() = default;

ResultAdvice::~ResultAdvice() = default;

ResultAdvice* ResultAdvice::Clone() const { return new ResultAdvice(*this); }
