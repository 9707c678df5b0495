// Out-of-line destructors of the abstract host interfaces, so that their
// virtual tables and type information live in libmodelcore.so alone and a
// plug-in shares them with the host.

#include "host/interfaces/ColumnScoring.h"
#include "host/interfaces/EvidenceInference.h"
#include "host/interfaces/ModelStructure.h"
#include "host/interfaces/ScoreCaseRecord.h"
#include "host/interfaces/ScoreDictVar.h"
#include "host/interfaces/ScoreDictionary.h"
#include "host/interfaces/ScoreModel.h"
#include "host/interfaces/ScoreResult.h"
#include "host/interfaces/ScoreTranslator.h"
#include "host/interfaces/ScoreValue.h"
#include "host/interfaces/ScoreVersionInfo.h"

ScoreValue::~ScoreValue() = default;
ScoreDictVar::~ScoreDictVar() = default;
ScoreDictionary::~ScoreDictionary() = default;
ScoreCaseRecord::~ScoreCaseRecord() = default;
ScoreModel::~ScoreModel() = default;
ScoreResult::~ScoreResult() = default;
ScoreClsResult::~ScoreClsResult() = default;
ScoreVersionInfo::~ScoreVersionInfo() = default;
ColumnScoring::~ColumnScoring() = default;
ColumnScoring::BoundColumns::~BoundColumns() = default;
EvidenceInference::~EvidenceInference() = default;
ModelStructure::~ModelStructure() = default;
ScoreTranslator::~ScoreTranslator() = default;

ResultAdvice::~ResultAdvice() = default;

ResultAdvice* ResultAdvice::Clone() const { return new ResultAdvice(*this); }
