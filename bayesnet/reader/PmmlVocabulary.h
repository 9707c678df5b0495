#ifndef BAYESNET_PMMLVOCABULARY_H_
#define BAYESNET_PMMLVOCABULARY_H_

// The words of PMML that the model reader compares against: element names,
// attribute names and keyword values, one constant per word. Comparisons
// are exact and case-sensitive (BaseTranslator::IsEqual).
namespace pmml {

// Elements.
inline constexpr char kApplication[] = "Application";
inline constexpr char kBayesNetModel[] = "BayesNetModel";
inline constexpr char kBayesNetSettings[] = "BayesNetSettings";
inline constexpr char kConditionalTable[] = "ConditionalTable";
inline constexpr char kConditionalTables[] = "ConditionalTables";
inline constexpr char kDataDictionary[] = "DataDictionary";
inline constexpr char kDerivedField[] = "DerivedField";
inline constexpr char kDerivedFieldRef[] = "DerivedFieldRef";
inline constexpr char kDiscretize[] = "Discretize";
inline constexpr char kDiscretizeBin[] = "DiscretizeBin";
inline constexpr char kExtension[] = "Extension";
inline constexpr char kInterval[] = "Interval";
inline constexpr char kLinkSource[] = "LinkSource";
inline constexpr char kMiningBuildTask[] = "MiningBuildTask";
inline constexpr char kMiningField[] = "MiningField";
inline constexpr char kMiningSchema[] = "MiningSchema";
inline constexpr char kNames[] = "names";
inline constexpr char kParameterLearning[] = "ParameterLearning";
inline constexpr char kRow[] = "row";
inline constexpr char kTransformationDictionary[] = "TransformationDictionary";

// Attributes.
inline constexpr char kExtender[] = "extender";
inline constexpr char kFieldName[] = "fieldName";
inline constexpr char kLeftMargin[] = "leftMargin";
inline constexpr char kMethod[] = "method";
inline constexpr char kName[] = "name";
inline constexpr char kParentsNumber[] = "parentsNumber";
inline constexpr char kRightMargin[] = "rightMargin";
inline constexpr char kTotalN[] = "totalN";
inline constexpr char kUsageType[] = "usageType";
inline constexpr char kVersion[] = "version";

// Keyword values.
inline constexpr char kActive[] = "active";
inline constexpr char kAdjustedBayes[] = "adjustedBayes";
inline constexpr char kBayesMethod[] = "bayesMethod";
inline constexpr char kDerivedFields[] = "DerivedFields";
inline constexpr char kMaxLikelihood[] = "maxLikelihood";
inline constexpr char kPredicted[] = "predicted";
inline constexpr char kYes[] = "yes";

// The extender that marks the extensions of the host's own PMML dialect.
inline constexpr char kHostExtender[] = "modelcore";
// The extender of what bnscore's converter writes about a network's source
// (a Source element with these attributes).
inline constexpr char kConverterExtender[] = "bnscore";
inline constexpr char kSource[] = "Source";
inline constexpr char kModelType[] = "modelType";
inline constexpr char kInferenceMethod[] = "inferenceMethod";

}  // namespace pmml

#endif  // BAYESNET_PMMLVOCABULARY_H_
