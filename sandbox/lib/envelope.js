'use strict';
// The service's reply envelope: { meta: { status, error?, paging? }, response }.

function ok(response, meta = {}) {
  return { meta: { status: 'ok', ...meta }, response };
}

// An error with the precise reason in "cause" and a general one in "message",
// the way the service reports validation and sign-in failures.
function failure(message, causes) {
  const error = { message };
  if (causes && causes.length) error.cause = causes.map((text) => ({ message: text }));
  return { meta: { status: 'error', error } };
}

class ServiceError extends Error {
  constructor(message, { causes, status = 200 } = {}) {
    super(message);
    this.causes = causes;
    this.status = status;
  }
  get envelope() {
    return failure(this.message, this.causes);
  }
}

module.exports = { ok, failure, ServiceError };
