#ifndef BNSCORE_SERVICE_SERVICEMETRICS_H_
#define BNSCORE_SERVICE_SERVICEMETRICS_H_

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace bnscore::service {

// The counters of one model id: scoring requests, the ones answered with an
// error, the records scored and a latency histogram of the scoring requests
// (from the request's arrival at the handler to its reply being ready).
// Updated from every server thread without locks.
class ModelMetrics {
 public:
  // Upper bounds of the latency buckets, in seconds; a last bucket (+Inf)
  // takes the rest.
  static constexpr std::array<double, 12> kBucketBounds = {
      0.00005, 0.0001, 0.00025, 0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025, 0.1, 0.5, 2.5};

  void RecordRequest(double seconds, bool failed, std::uint64_t records);

  std::uint64_t Requests() const { return requests_.load(std::memory_order_relaxed); }
  std::uint64_t Errors() const { return errors_.load(std::memory_order_relaxed); }
  std::uint64_t Records() const { return records_.load(std::memory_order_relaxed); }
  // The number of requests that fell into bucket i (not cumulative).
  std::uint64_t BucketCount(std::size_t i) const {
    return buckets_[i].load(std::memory_order_relaxed);
  }
  double LatencySum() const;

 private:
  std::atomic<std::uint64_t> requests_{0};
  std::atomic<std::uint64_t> errors_{0};
  std::atomic<std::uint64_t> records_{0};
  std::atomic<std::uint64_t> latencyNanos_{0};
  std::array<std::atomic<std::uint64_t>, kBucketBounds.size() + 1> buckets_{};
};

// All counters of a running service: HTTP requests by status code and the
// ModelMetrics of every deployed model id. A model replaced keeps its
// counters (Prometheus counters never go back); a model removed takes its
// series out of the exposition (as an exporter drops a target that is
// gone), so that ids deployed and removed over time do not pile up. The
// ModelMetrics are shared with the deployed models that count into them.
class ServiceMetrics {
 public:
  // The counters of `id`, created on first use. Never null.
  std::shared_ptr<ModelMetrics> ForModel(const std::string& id);
  // Drops the series of `id` (a request still holding its counters may
  // count into them; they are no longer shown).
  void RemoveModel(const std::string& id);

  // Counts one answered HTTP request.
  void CountResponse(int httpStatus);

  // The Prometheus text exposition of every counter.
  std::string Render() const;

 private:
  static constexpr int kStatusSlots = 600;

  // One counter family with a line per model; mutex_ held.
  void AppendModelCounter(std::string& out, const char* name, const char* help,
                          std::uint64_t (ModelMetrics::*value)() const) const;

  std::array<std::atomic<std::uint64_t>, kStatusSlots> responses_{};
  mutable std::mutex mutex_;  // guards models_ (not the counters inside)
  std::map<std::string, std::shared_ptr<ModelMetrics>> models_;
};

}  // namespace bnscore::service

#endif  // BNSCORE_SERVICE_SERVICEMETRICS_H_
