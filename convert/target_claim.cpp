#include "convert/target_claim.hpp"

namespace trevanix {

void TargetClaim::release() noexcept
{
    journal_.reset();
    lock_.release();
    folder_.close();
}

ClaimOutcome TargetClaim::claim(const std::string& target, std::string& error)
{
    release();
    if (!folder_.open(target, error))
        return ClaimOutcome::Failed;
    switch (lock_.take(folder_, target, error)) {
    case LockOutcome::Taken:
        break;
    case LockOutcome::Busy:
        return ClaimOutcome::Busy;
    case LockOutcome::Failed:
        return ClaimOutcome::Failed;
    }
    journal_.emplace(folder_, target);
    journal_->recover();
    return ClaimOutcome::Claimed;
}

} // namespace trevanix
