// Who may deploy and remove models, through the router (no network: the
// end-to-end tests cover the loopback listener without a token).

#include <string>

#include <gtest/gtest.h>

#include "service/ModelRegistry.h"
#include "service/ServiceMetrics.h"
#include "service/ServiceRouter.h"

using namespace bnscore::service;

namespace {

struct Answer {
  int status;
  std::string body;
};

Answer Ask(const AdminPolicy& admin, const char* method, const char* authorization) {
  ModelRegistry registry;
  ServiceMetrics metrics;
  ServiceRouter router(registry, metrics, admin, bnscore::LoadOptions{});
  RequestScratch scratch;
  HttpReply reply;
  HttpRequest request;
  request.method = method;
  request.target = "/models/m";
  request.authorization = authorization;
  request.body = "<PMML/>";
  router.Handle(request, scratch, reply);
  return {reply.status, reply.body};
}

TEST(AdminPolicyTest, WithoutATokenOnlyALoopbackListenerMayChangeModels) {
  AdminPolicy open{"", false};
  for (const char* method : {"PUT", "DELETE"}) {
    const Answer answer = Ask(open, method, "Bearer anything");
    EXPECT_EQ(answer.status, 403) << method;
    EXPECT_NE(answer.body.find("\"code\":403"), std::string::npos) << answer.body;
    EXPECT_NE(answer.body.find("--admin-token-file"), std::string::npos) << answer.body;
  }
  // Past the check, DELETE of an unknown id is a 404.
  EXPECT_EQ(Ask(AdminPolicy{"", true}, "DELETE", "").status, 404);
}

TEST(AdminPolicyTest, ATokenIsNeededOnEveryListenerAndComparedExactly) {
  for (bool loopback : {true, false}) {
    AdminPolicy guarded{"s3cret", loopback};
    for (const char* wrong : {"", "s3cret", "Bearer", "Bearer ", "Bearer s3cre", "Bearer s3cret2",
                              "Basic s3cret", "Bearer S3CRET"}) {
      EXPECT_EQ(Ask(guarded, "DELETE", wrong).status, 401) << wrong;
    }
    EXPECT_EQ(Ask(guarded, "DELETE", "Bearer s3cret").status, 404);
    EXPECT_EQ(Ask(guarded, "DELETE", "bearer s3cret").status, 404);  // the scheme ignores case
  }
}

}  // namespace
