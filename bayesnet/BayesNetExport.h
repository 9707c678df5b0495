#ifndef BAYESNET_BAYESNETEXPORT_H_
#define BAYESNET_BAYESNETEXPORT_H_

// The plug-in is compiled with hidden visibility; what it exports to the
// host carries this mark: GiveMyTranslator, BayesNetModel,
// BayesNetClsResult and MCMV.
#define BAYESNET_API __attribute__((visibility("default")))

#endif  // BAYESNET_BAYESNETEXPORT_H_
