#ifndef MODELCORE_MCSTATUS_H_
#define MODELCORE_MCSTATUS_H_

namespace MCScore {

// The outcome of one scoring call: success (code 0) or a status code such
// as 90029 (a predictor without a usable value) or 90021 (no category got a
// positive score), with a flag that the code's raiser chooses. The codes
// are fixed by the host interface; do not change them.
class MCStatus {
 public:
  MCStatus() : code_(0), flag_(true) {}
  MCStatus(long code, bool flag) : code_(code), flag_(flag) {}

  long GetCode() const { return code_; }
  bool GetFlag() const { return flag_; }
  bool IsSuccess() const { return code_ == 0; }

  bool operator==(const MCStatus& other) const {
    return code_ == other.code_ && flag_ == other.flag_;
  }
  bool operator!=(const MCStatus& other) const { return !(*this == other); }

 private:
  long code_;
  bool flag_;
};

}  // namespace MCScore

#endif  // MODELCORE_MCSTATUS_H_
