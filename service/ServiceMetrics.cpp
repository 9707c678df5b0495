#include "service/ServiceMetrics.h"

#include "bnscore/JsonText.h"

namespace bnscore::service {

void ModelMetrics::RecordRequest(double seconds, bool failed, std::uint64_t records) {
  requests_.fetch_add(1, std::memory_order_relaxed);
  if (failed) errors_.fetch_add(1, std::memory_order_relaxed);
  records_.fetch_add(records, std::memory_order_relaxed);
  latencyNanos_.fetch_add(static_cast<std::uint64_t>(seconds * 1e9), std::memory_order_relaxed);
  std::size_t bucket = 0;
  while (bucket < kBucketBounds.size() && seconds > kBucketBounds[bucket]) ++bucket;
  buckets_[bucket].fetch_add(1, std::memory_order_relaxed);
}

double ModelMetrics::LatencySum() const {
  return static_cast<double>(latencyNanos_.load(std::memory_order_relaxed)) / 1e9;
}

std::shared_ptr<ModelMetrics> ServiceMetrics::ForModel(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<ModelMetrics>& metrics = models_[id];
  if (!metrics) metrics = std::make_shared<ModelMetrics>();
  return metrics;
}

void ServiceMetrics::RemoveModel(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  models_.erase(id);
}

void ServiceMetrics::CountResponse(int httpStatus) {
  if (httpStatus >= 0 && httpStatus < kStatusSlots) {
    responses_[httpStatus].fetch_add(1, std::memory_order_relaxed);
  }
}

namespace {

// A label value: the text of a JSON string literal is also a valid
// Prometheus label value (backslash, quote and line feed escaped).
std::string Label(const std::string& id) {
  std::string quoted;
  AppendJsonString(quoted, id);
  return quoted;
}

void AppendLine(std::string& out, const char* name, const std::string& labels, double value) {
  out.append(name);
  out.append(labels);
  out.push_back(' ');
  AppendJsonNumber(out, value);
  out.push_back('\n');
}

}  // namespace

void ServiceMetrics::AppendModelCounter(std::string& out, const char* name, const char* help,
                                        std::uint64_t (ModelMetrics::*value)() const) const {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" counter\n");
  for (const auto& [id, metrics] : models_) {
    AppendLine(out, name, "{model=" + Label(id) + "}", static_cast<double>((*metrics.*value)()));
  }
}

std::string ServiceMetrics::Render() const {
  std::string out;
  out.append(
      "# HELP bnscore_http_responses_total HTTP responses sent, by status code.\n"
      "# TYPE bnscore_http_responses_total counter\n");
  for (int status = 0; status < kStatusSlots; ++status) {
    const std::uint64_t count = responses_[status].load(std::memory_order_relaxed);
    if (count == 0) continue;
    AppendLine(out, "bnscore_http_responses_total", "{code=\"" + std::to_string(status) + "\"}",
               static_cast<double>(count));
  }

  std::lock_guard<std::mutex> lock(mutex_);
  AppendModelCounter(out, "bnscore_score_requests_total", "Scoring requests, by model.",
                     &ModelMetrics::Requests);
  AppendModelCounter(out, "bnscore_score_errors_total",
                     "Scoring requests answered with an error, by model.", &ModelMetrics::Errors);
  AppendModelCounter(out, "bnscore_records_scored_total", "Records scored, by model.",
                     &ModelMetrics::Records);
  out.append(
      "# HELP bnscore_score_latency_seconds Time to answer a scoring request, by model.\n"
      "# TYPE bnscore_score_latency_seconds histogram\n");
  for (const auto& [id, metrics] : models_) {
    const std::string model = "model=" + Label(id);
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i <= ModelMetrics::kBucketBounds.size(); ++i) {
      cumulative += metrics->BucketCount(i);
      std::string bound = "+Inf";
      if (i < ModelMetrics::kBucketBounds.size()) {
        bound.clear();
        AppendJsonNumber(bound, ModelMetrics::kBucketBounds[i]);
      }
      AppendLine(out, "bnscore_score_latency_seconds_bucket",
                 "{" + model + ",le=\"" + bound + "\"}", static_cast<double>(cumulative));
    }
    AppendLine(out, "bnscore_score_latency_seconds_sum", "{" + model + "}", metrics->LatencySum());
    AppendLine(out, "bnscore_score_latency_seconds_count", "{" + model + "}",
               static_cast<double>(cumulative));
  }
  return out;
}

}  // namespace bnscore::service
